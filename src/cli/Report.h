#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdio>
#include <map>

namespace iap::cli {

// Everything the command line tells its user, for every port: JSON lines for a line controller
// (one object per event), or text for a person, with one live progress line per port on a
// terminal and plain lines without control characters elsewhere.
class Report {
public:
    enum class Style { Terminal, Plain, Json };

    Report(Style style, const QStringList& ports, std::FILE* out = stdout);

    void status(const QString& port, const QString& text);
    void progress(const QString& port, int done, int total);
    void sum(const QString& port, const QString& sum);
    void version(const QString& port, const QString& version);
    // The image a transfer sends, by its SHA-256 (JSON only).
    void image(const QString& port, const QString& file, const QString& sha256);
    // The port's end: the device's verdict or what went wrong; exitStatus as the program's.
    void result(const QString& port, const QString& text, int exitStatus);
    // Every port has ended: the lines "<port>: <result>", in the order the ports were given.
    void finish();

private:
    struct Line {
        QString text;
        QElapsedTimer transferStarted;
    };

    void json(const QString& port, const char* event, const QString& key = {}, const QVariant& value = {}, const QString& key2 = {},
              const QVariant& value2 = {});
    void redraw();

    Style style;
    QStringList ports;
    std::FILE* out;
    std::map<QString, Line> lines;
    std::map<QString, QString> results;
    bool drawn = false;
};

}  // namespace iap::cli
