#include "cli/Options.h"

#include <QFileInfo>

#include "protocol/HexNumber.h"

namespace iap::cli {
namespace {

constexpr int AddressDigits = 8;

std::optional<Command> commandNamed(const QString& name)
{
    const std::pair<const char*, Command> commands[] = {
        {"ports", Command::Ports}, {"download", Command::Download}, {"write", Command::Write}, {"read", Command::Read}, {"program", Command::Program}};
    for (const auto& [text, command] : commands)
        if (name == QLatin1String(text))
            return command;
    return std::nullopt;
}

}  // namespace

std::optional<Address> ParseAddress(const QString& text)
{
    const QStringView digits = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? QStringView(text).mid(2) : QStringView(text);
    const LeadingHex hex(digits);
    if (digits.size() != AddressDigits || hex.digits() != AddressDigits)
        return std::nullopt;
    const auto value = std::uint32_t(hex.value());
    return Address{std::uint8_t(value >> 24), std::uint8_t(value >> 16), std::uint8_t(value >> 8), std::uint8_t(value)};
}

QString Options::outputFor(const QString& port) const
{
    return QString(output).replace(PortPlaceholder, QFileInfo(port).fileName());
}

Options ParseOptions(const QStringList& arguments, QString& error)
{
    Options o;
    if (arguments.isEmpty() || arguments.first() == QLatin1String("--help") || arguments.first() == QLatin1String("-h")) {
        o.help = true;
        return o;
    }
    const auto command = commandNamed(arguments.first());
    if (!command) {
        error = QStringLiteral("unknown command %1").arg(arguments.first());
        return o;
    }
    o.command = *command;
    QStringList files;
    ImagePaths paths;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const auto value = [&]() -> QString {
            if (i + 1 < arguments.size())
                return arguments[++i];
            error = QStringLiteral("%1 needs a value").arg(argument);
            return {};
        };
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            o.help = true;
        } else if (argument == QLatin1String("--json")) {
            o.json = true;
        } else if (argument == QLatin1String("--port")) {
            const QString port = value();
            if (port.isEmpty() && error.isEmpty())
                error = QStringLiteral("--port needs the name of a port");
            o.ports << port;
        } else if (argument == QLatin1String("--model")) {
            const QString model = value().toUpper();
            if (model == QLatin1String("HX300"))
                o.model = DeviceModel::Hx300;
            else if (model == QLatin1String("VR200"))
                o.model = DeviceModel::Vr200;
            else if (error.isEmpty())
                error = QStringLiteral("--model must be HX300 or VR200");
        } else if (argument == QLatin1String("--address")) {
            const QString text = value();
            o.address = ParseAddress(text);
            if (!o.address && error.isEmpty())
                error = QStringLiteral("--address %1 is not eight hexadecimal digits").arg(text);
        } else if (argument == QLatin1String("--pages")) {
            const QString text = value();
            bool ok = false;
            o.pages = text.toInt(&ok);
            if (!ok && error.isEmpty())
                error = QStringLiteral("--pages %1 is not a number").arg(text);
        } else if (argument == QLatin1String("-o")) {
            o.output = value();
        } else if (argument == QLatin1String("--timeout")) {
            const QString text = value();
            bool ok = false;
            o.timeoutSeconds = text.toInt(&ok);
            if ((!ok || o.timeoutSeconds < 1 || o.timeoutSeconds > Options::LongestTimeoutSeconds) && error.isEmpty())
                error = QStringLiteral("--timeout %1 is not a whole number of seconds from 1 to %2").arg(text).arg(Options::LongestTimeoutSeconds);
        } else if (argument == QLatin1String("--slot0")) {
            paths.slot0 = value();
        } else if (argument == QLatin1String("--slot1")) {
            paths.slot1 = value();
        } else if (argument == QLatin1String("--app")) {
            paths.application = value();
        } else if (argument.startsWith(u'-')) {
            error = QStringLiteral("unknown option %1").arg(argument);
        } else {
            files << argument;
        }
        if (!error.isEmpty())
            return o;
    }
    if (o.help)
        return o;
    const bool takesFile = o.command == Command::Download || o.command == Command::Write;
    if (files.size() != (takesFile ? 1 : 0)) {
        error = takesFile ? QStringLiteral("give exactly one image file") : QStringLiteral("unexpected argument %1").arg(files.value(0));
        return o;
    }
    paths.image = files.value(0);
    if (o.command != Command::Ports && o.ports.isEmpty()) {
        error = QStringLiteral("give at least one --port");
        return o;
    }
    error = CheckInput(o, paths);
    return o;
}

}  // namespace iap::cli
