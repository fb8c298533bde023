#include "PortList.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <optional>

#include "serial/PortName.h"

namespace iap::cli {
namespace {

QJsonValue number(std::optional<quint16> value)
{
    return value ? QJsonValue(QStringLiteral("%1").arg(*value, 4, 16, QLatin1Char('0'))) : QJsonValue();
}

QString listed(const PortListing& listing)
{
    QStringList texts;
    for (const PortInfo& port : listing.ports)
        texts << listedText(port);
    return texts.isEmpty() ? QStringLiteral("none") : texts.join(QLatin1String("; "));
}

std::optional<quint16> hexWord(const QString& text)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 16);
    return ok && text.size() <= 4 ? std::optional(quint16(value)) : std::nullopt;
}

}  // namespace

QString portListText(const PortListing& listing, bool json)
{
    // As the window lists them: the port it preselects first.
    const QString preferred = listing.preferred ? listing.preferred->path() : QString();
    std::vector<PortInfo> ports;
    if (listing.preferred)
        ports.push_back(*listing.preferred);
    for (const PortInfo& port : listing.ports)
        if (port.path() != preferred)
            ports.push_back(port);
    QString text;
    for (const PortInfo& port : ports) {
        if (!json) {
            text += listedText(port) + u'\n';
            continue;
        }
        const QJsonObject object{{QStringLiteral("name"), port.name()},
                                 {QStringLiteral("path"), port.path()},
                                 {QStringLiteral("byPath"), port.byPath().isEmpty() ? QJsonValue() : QJsonValue(port.byPath())},
                                 {QStringLiteral("byId"), port.byId().isEmpty() ? QJsonValue() : QJsonValue(port.byId())},
                                 {QStringLiteral("description"), port.description()},
                                 {QStringLiteral("manufacturer"), port.manufacturer()},
                                 {QStringLiteral("vid"), number(port.vendorId())},
                                 {QStringLiteral("pid"), number(port.productId())},
                                 {QStringLiteral("serial"), port.serialNumber()},
                                 {QStringLiteral("preferred"), port.path() == preferred}};
        text += QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + u'\n';
    }
    return text;
}

ChosenPort ChosenPort::choose(const QString& spec, const PortListing& listing, Absent absent)
{
    ChosenPort chosen;
    if (!spec.startsWith(QLatin1String("usb:"), Qt::CaseInsensitive)) {
        for (const PortInfo& port : listing.ports) {
            if (spec == port.name() || spec == port.path() || spec == port.byPath() || spec == port.byId())
                chosen.chosen = port;
        }
        // A port not there yet stands alone, to be opened or waited for where a port of that name appears.
        if (chosen.chosen.path().isEmpty()) {
            chosen.chosen = PortInfo(spec, spec);
            if (const QString why = notAPort(spec); !why.isEmpty())
                chosen.why = QStringLiteral("--port %1: %2").arg(spec, why);
            else if (absent == Absent::Refused && !portPresent(spec))
                chosen.why = QStringLiteral("--port %1 is no port there is; the ports: %2").arg(spec, listed(listing));
        }
        return chosen;
    }
    const QStringList parts = spec.mid(4).split(u':');
    const auto vendor = hexWord(parts.value(0));
    const auto product = hexWord(parts.value(1));
    if (parts.size() < 2 || parts.size() > 3 || !vendor || !product) {
        chosen.why = QStringLiteral("--port %1 is not usb:VID:PID or usb:VID:PID:SERIAL (hexadecimal VID and PID)").arg(spec);
        return chosen;
    }
    QStringList matches;
    for (const PortInfo& port : listing.ports) {
        if (port.vendorId() == vendor && port.productId() == product && (parts.size() < 3 || port.serialNumber() == parts[2])) {
            matches << listedText(port);
            chosen.chosen = port;
        }
    }
    if (matches.size() == 1)
        return chosen;
    chosen.chosen = {};
    chosen.why = matches.isEmpty() ? QStringLiteral("--port %1 matches no port; the ports: %2").arg(spec, listed(listing))
                                   : QStringLiteral("--port %1 matches several ports: %2; name one by its serial number or by its "
                                                    "/dev/serial/by-path link")
                                         .arg(spec, matches.join(QLatin1String("; ")));
    return chosen;
}

}  // namespace iap::cli
