#include "cli/Options.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "flash_write/FlashImage.h"
#include "session/DeviceModel.h"
#include "session/Session.h"

namespace iap::cli {
namespace {

constexpr int AddressDigits = 8;
const QString PortPlaceholder = QStringLiteral("{port}");

std::optional<Command> commandNamed(const QString& name)
{
    const std::pair<const char*, Command> commands[] = {
        {"ports", Command::Ports}, {"download", Command::Download}, {"write", Command::Write}, {"read", Command::Read}, {"program", Command::Program}};
    for (const auto& [text, command] : commands)
        if (name == QLatin1String(text))
            return command;
    return std::nullopt;
}

bool readable(const QString& path, QString& error)
{
    QFile file(path);
    if (QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly))
        return true;
    error = QStringLiteral("%1: no such file, or it cannot be read").arg(path);
    return false;
}

// The header address of a flash image, read the way the write will read it.
std::optional<std::array<std::uint8_t, 4>> headerOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? FlashImageHeader(file.read(FlashImageHeadBytes)) : std::nullopt;
}

QString checkFiles(const Options& o)
{
    QString error;
    for (const QString& path : {o.image, o.slot0, o.slot1, o.application})
        if (!path.isEmpty() && !readable(path, error))
            return error;
    switch (o.command) {
    case Command::Download:
        return o.address ? QString() : QStringLiteral("download needs --address");
    case Command::Write: {
        const auto header = headerOf(o.image);
        if (!header && !o.address)
            return QStringLiteral("%1 has no header page: write needs --address").arg(o.image);
        if (header && o.address && *header != *o.address)
            return QStringLiteral("--address differs from the address in the header page of %1").arg(o.image);
        return {};
    }
    case Command::Read:
        if (!o.address)
            return QStringLiteral("read needs --address");
        if (o.pages < 1 || o.pages > Session::ReadBackPages)
            return QStringLiteral("--pages must be from 1 to %1").arg(Session::ReadBackPages);
        if (o.output.isEmpty())
            return QStringLiteral("read needs -o OUT.bin");
        if (o.ports.size() > 1 && !o.output.contains(PortPlaceholder))
            return QStringLiteral("with several ports, -o must contain {port}");
        if (!QFileInfo(o.output).absoluteDir().exists())
            return QStringLiteral("%1: its folder does not exist").arg(o.output);
        return {};
    case Command::Program:
        if (o.slot0.isEmpty() && o.slot1.isEmpty() && o.application.isEmpty())
            return QStringLiteral("program needs --slot0, --slot1 or --app");
        if (!o.address && (!o.application.isEmpty() || (!o.slot0.isEmpty() && !headerOf(o.slot0)) || (!o.slot1.isEmpty() && !headerOf(o.slot1))))
            return QStringLiteral("program needs --address for the application and for flash images without a header page");
        return {};
    case Command::Ports:
        return {};
    }
    return {};
}

}  // namespace

std::optional<std::array<std::uint8_t, 4>> ParseAddress(const QString& text)
{
    const QString digits = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? text.mid(2) : text;
    bool ok = false;
    const std::uint32_t value = digits.toUInt(&ok, 16);
    if (digits.size() != AddressDigits || !ok || digits.contains(u'+') || digits.contains(u'-'))
        return std::nullopt;
    return std::array<std::uint8_t, 4>{std::uint8_t(value >> 24), std::uint8_t(value >> 16), std::uint8_t(value >> 8), std::uint8_t(value)};
}

QString Options::outputFor(const QString& port) const
{
    return QString(output).replace(PortPlaceholder, QFileInfo(port).fileName());
}

Options ParseOptions(const QStringList& arguments, QString& error)
{
    Options o;
    o.settings = Hx300Settings;
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
            if (o.ports.contains(port))
                error = QStringLiteral("--port %1 is given twice").arg(port);
            o.ports << port;
        } else if (argument == QLatin1String("--model")) {
            const QString model = value().toUpper();
            if (model == QLatin1String("HX300"))
                o.settings = Hx300Settings;
            else if (model == QLatin1String("VR200"))
                o.settings = Vr200Settings;
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
            if ((!ok || o.timeoutSeconds < 1) && error.isEmpty())
                error = QStringLiteral("--timeout %1 is not a whole number of seconds above 0").arg(text);
        } else if (argument == QLatin1String("--slot0")) {
            o.slot0 = value();
        } else if (argument == QLatin1String("--slot1")) {
            o.slot1 = value();
        } else if (argument == QLatin1String("--app")) {
            o.application = value();
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
    o.image = files.value(0);
    if (o.command != Command::Ports && o.ports.isEmpty()) {
        error = QStringLiteral("give at least one --port");
        return o;
    }
    error = checkFiles(o);
    return o;
}

}  // namespace iap::cli
