#pragma once

#include <QString>

namespace iap::test {

// A database of its own on the test server whose URL the environment variable holds
// (scripts/test.sh sets IAP_TEST_POSTGRES_URL and IAP_TEST_POSTGRES_SOCKET_URL), dropped at the
// end. The URL is empty without the variable, or when the database cannot be made.
class ScratchDatabase {
public:
    explicit ScratchDatabase(const char* variable = "IAP_TEST_POSTGRES_URL");
    ~ScratchDatabase();
    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;

    const QString& url() const { return scratchUrl; }
    // Ends every session on it, as a server restart or a broken network would.
    bool disconnectAll();
    // A statement on the server, as its superuser.
    bool run(const QString& sql);

private:
    QString connection;
    QString name;
    QString scratchUrl;
};

}  // namespace iap::test
