#include "Report.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QVariant>

#include "platform/Clock.h"

namespace iap::cli {
namespace {

constexpr double MsPerSecond = 1000;

}  // namespace

Report::Report(Style style, const QStringList& ports, int pageBytes, Clock& clock, std::FILE* out)
    : style(style), ports(ports), pageBytes(pageBytes), clock(clock), out(out)
{
}

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
    if (!line.phaseStartedMs)
        line.phaseStartedMs = clock.nowMs();
    const double seconds = double(clock.nowMs() - *line.phaseStartedMs) / MsPerSecond;
    const double bytesPerSecond = seconds > 0 ? double(done) * pageBytes / seconds : 0;
    const double secondsLeft = done > 0 ? seconds / done * (total - done) : 0;
    line.text = QStringLiteral("%1%2 of %3 pages, %4 B/s, %5 s left")
                    .arg(line.verifying ? QStringLiteral("verifying ") : QString())
                    .arg(done)
                    .arg(total)
                    .arg(qRound(bytesPerSecond))
                    .arg(qRound(secondsLeft));
    redraw();
}

void Report::sum(const QString& port, std::uint32_t sum)
{
    if (style == Style::Json)
        json(port, "sum", QStringLiteral("sum"), QStringLiteral("%1").arg(sum, 8, 16, QLatin1Char('0')).toUpper());
}

void Report::version(const QString& port, const QString& version)
{
    if (style == Style::Json)
        json(port, "version", QStringLiteral("text"), version);
}

void Report::image(const QString& port, const QString& file, const QString& sha256)
{
    lines[port].phaseStartedMs.reset();
    lines[port].verifying = false;
    if (style == Style::Json)
        json(port, "image", QStringLiteral("file"), file, QStringLiteral("sha256"), sha256);
}

void Report::verifying(const QString& port)
{
    Line& line = lines[port];
    line.phaseStartedMs.reset();
    line.verifying = true;
    if (style == Style::Terminal) {
        line.text = QStringLiteral("verifying");
        redraw();
    }
}

void Report::result(const QString& port, const QString& text, int exitStatus)
{
    results[port] = {text, exitStatus};
    if (style == Style::Json) {
        json(port, "result", QStringLiteral("text"), text, QStringLiteral("exit"), exitStatus);
        return;
    }
    if (style == Style::Terminal) {
        lines[port].text = text;
        redraw();
    }
}

void Report::finish()
{
    if (style == Style::Plain) {
        for (const QString& port : ports)
            std::fprintf(out, "%s: %s\n", qPrintable(port), qPrintable(results[port].text));
        std::fflush(out);
    }
    // After the live lines, which a line of its own on the same terminal would break.
    for (const QString& port : ports)
        if (results[port].exitStatus != 0)
            std::fprintf(stderr, "iap-cli: %s: %s\n", qPrintable(port), qPrintable(results[port].text));
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
