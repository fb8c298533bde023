#include "serial/ModemLines.h"

#include <QFile>
#include <QSerialPort>

#include <array>

#include "serial/Line.h"

#ifdef Q_OS_UNIX
#include "serial/AnnouncedModemLines_posix.h"
#include "serial/PortAnnouncement_posix.h"
#endif

namespace iap {
namespace {

struct LineName {
    ModemLine line;
    const char* name;
    QSerialPort::PinoutSignal pin;
};
constexpr std::array<LineName, 4> Lines{{{ModemLine::Cts, "cts", QSerialPort::ClearToSendSignal},
                                         {ModemLine::Dsr, "dsr", QSerialPort::DataSetReadySignal},
                                         {ModemLine::Dcd, "dcd", QSerialPort::DataCarrierDetectSignal},
                                         {ModemLine::Ri, "ri", QSerialPort::RingIndicatorSignal}}};

const LineName& entryOf(ModemLine line)
{
    for (const LineName& entry : Lines)
        if (entry.line == line)
            return entry;
    return Lines.front();
}

// A real port's pins, read on the port the socket holds open: asked anew at every look, so the
// answer is at most one look old.
class PortModemLines : public ModemLines {
public:
    explicit PortModemLines(Line& port) : port(port) {}

    std::optional<bool> isActive(ModemLine line) override
    {
        port.requestModemLines();
        const std::optional<int> pins = port.modemLines();
        if (!pins)
            return std::nullopt;
        return (*pins & int(entryOf(line).pin)) != 0;
    }

private:
    Line& port;
};

}  // namespace

std::optional<ModemLine> modemLineNamed(const QString& name)
{
    for (const LineName& entry : Lines)
        if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            return entry.line;
    return std::nullopt;
}

QString modemLineName(ModemLine line)
{
    return QString::fromLatin1(entryOf(line).name);
}

QString modemLineChoices()
{
    return QStringLiteral("cts, dsr, dcd or ri");
}

std::unique_ptr<ModemLines> ModemLines::forPort(const QString& path, Line& port)
{
#ifdef Q_OS_UNIX
    if (isAnnouncement(QFile::encodeName(path).toStdString()))
        return std::make_unique<AnnouncedModemLines>(path);
#else
    Q_UNUSED(path);
#endif
    return std::make_unique<PortModemLines>(port);
}

}  // namespace iap
