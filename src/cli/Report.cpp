#include "Report.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QVariant>

namespace iap::cli {
namespace {

constexpr double BytesPerPage = 2048;

}  // namespace

Report::Report(Style style, const QStringList& ports, std::FILE* out) : style(style), ports(ports), out(out) {}

void Report::json(const QString& port, const char* event, const QString& key, const QVariant& value, const QString& key2,
                  const QVariant& value2)
{
    QJsonObject object{{QStringLiteral("port"), port}, {QStringLiteral("event"), QString::fromLatin1(event)}};
    if (!key.isEmpty())
        object.insert(key, QJsonValue::fromVariant(value));
    if (!key2.isEmpty())
        object.insert(key2, QJsonValue::fromVariant(value2));
    std::fprintf(out, "%s\n", QJsonDocument(object).toJson(QJsonDocument::Compact).constData());
    std::fflush(out);
}

void Report::status(const QString& port, const QString& text)
{
    switch (style) {
    case Style::Json:
        json(port, "status", QStringLiteral("text"), text);
        break;
    case Style::Plain:
        std::fprintf(out, "%s: %s\n", qPrintable(port), qPrintable(text));
        std::fflush(out);
        break;
    case Style::Terminal:
        lines[port].text = text;
        redraw();
        break;
    }
}

void Report::progress(const QString& port, int done, int total)
{
    if (style == Style::Json) {
        json(port, "page", QStringLiteral("page"), done, QStringLiteral("pages"), total);
        return;
    }
    if (style != Style::Terminal)
        return;
    Line& line = lines[port];
    if (!line.transferStarted.isValid())
        line.transferStarted.start();
    const double seconds = double(line.transferStarted.elapsed()) / 1000;
    const double bytesPerSecond = seconds > 0 ? done * BytesPerPage / seconds : 0;
    const double secondsLeft = done > 0 ? seconds / done * (total - done) : 0;
    line.text = QStringLiteral("%1 of %2 pages, %3 B/s, %4 s left").arg(done).arg(total).arg(qRound(bytesPerSecond)).arg(qRound(secondsLeft));
    redraw();
}

void Report::sum(const QString& port, const QString& sum)
{
    if (style == Style::Json)
        json(port, "sum", QStringLiteral("sum"), sum);
}

void Report::version(const QString& port, const QString& version)
{
    if (style == Style::Json)
        json(port, "version", QStringLiteral("text"), version);
}

void Report::image(const QString& port, const QString& file, const QString& sha256)
{
    if (style == Style::Json)
        json(port, "image", QStringLiteral("file"), file, QStringLiteral("sha256"), sha256);
}

void Report::result(const QString& port, const QString& text, int exitStatus)
{
    if (style == Style::Json) {
        json(port, "result", QStringLiteral("text"), text, QStringLiteral("exit"), exitStatus);
        return;
    }
    results[port] = text;
    if (style == Style::Terminal) {
        lines[port].text = text;
        redraw();
    }
}

void Report::finish()
{
    if (style != Style::Plain)
        return;
    for (const QString& port : ports)
        std::fprintf(out, "%s: %s\n", qPrintable(port), qPrintable(results[port]));
    std::fflush(out);
}

// One line per port, in the order the ports were given, drawn over the previous ones.
void Report::redraw()
{
    if (drawn)
        std::fprintf(out, "\x1b[%dA", int(ports.size()));
    for (const QString& port : ports)
        std::fprintf(out, "\r\x1b[2K%s: %s\n", qPrintable(port), qPrintable(lines[port].text));
    std::fflush(out);
    drawn = true;
}

}  // namespace iap::cli
