#pragma once

#include <QString>

namespace iap::test {

// A database of its own on the test server that the environment variable names by its URL
// (scripts/test.sh starts the server and sets IAP_TEST_POSTGRES_URL and
// IAP_TEST_POSTGRES_SOCKET_URL), dropped again at the end: every test starts from nothing.
class ScratchDatabase {
public:
    explicit ScratchDatabase(const char* variable = "IAP_TEST_POSTGRES_URL");
    ~ScratchDatabase();
    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;

    // The scratch database's URL; empty when the variable is not set or the database could not be made.
    const QString& url() const { return scratchUrl; }
    // Ends every session on the scratch database, as a server restart or a broken network would.
    bool disconnectAll();

private:
    bool run(const QString& sql);

    QString connection;
    QString name;
    QString scratchUrl;
};

}  // namespace iap::test
