#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>

namespace iap {
class Clock;
}

namespace iap::cli {

// Everything the command line tells its user, for every port: JSON lines for a line controller
// (one object per event), or text for a person, with one live progress line per port on a
// terminal and plain lines without control characters elsewhere.
class Report {
public:
    enum class Style { Terminal, Plain, Json };

    // The rate and the time left on a terminal are reckoned by the clock, in pages of pageBytes.
    Report(Style style, const QStringList& ports, int pageBytes, Clock& clock, std::FILE* out = stdout);

    void status(const QString& port, const QString& text);
    // Pages done of all, of the transfer or, once verifying, of its read-back.
    void progress(const QString& port, int done, int total);
    // The running sum, eight hexadecimal digits (JSON only).
    void sum(const QString& port, std::uint32_t sum);
    // The bootloader's version text (JSON only).
    void version(const QString& port, const QString& version);
    // A transfer begins: the file it sends, by its SHA-256 (JSON only).
    void image(const QString& port, const QString& file, const QString& sha256);
    // The transfer's pages are read back to be compared.
    void verifying(const QString& port);
    // The port's end: the device's verdict or what went wrong; exitStatus as the program's.
    void result(const QString& port, const QString& text, int exitStatus);
    // Every port has ended: the lines "<port>: <result>", in the order the ports were given (plain
    // text), and each port's failure on standard error too, as "iap-cli: <port>: <result>".
    void finish();

private:
    struct Line {
        QString text;
        // When the first page of the transfer or of its read-back was told.
        std::optional<std::int64_t> phaseStartedMs;
        bool verifying = false;
    };

    void json(const QString& port, const char* event, const QString& key = {}, const QVariant& value = {}, const QString& key2 = {},
              const QVariant& value2 = {});
    void redraw();

    Style style;
    QStringList ports;
    int pageBytes;
    Clock& clock;
    std::FILE* out;
    std::map<QString, Line> lines;
    struct Ending {
        QString text;
        int exitStatus = 0;
    };
    std::map<QString, Ending> results;
    bool drawn = false;
};

}  // namespace iap::cli
