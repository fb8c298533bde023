// Everything the arguments name, checked before any port is opened: a run that would send a
// device what it cannot take, lose a read or write where it cannot is refused as a whole.
#include <QDir>
#include <QFileInfo>

#include <map>

#include "InputChecks.h"
#include "PortList.h"
#include "production/JobChecks.h"

namespace iap::cli {
namespace {

// The device a port name opens, however it is spelled: through links, relative or absolute.
QString deviceOf(const QString& port)
{
#ifdef Q_OS_WIN
    return port.toUpper();
#else
    const QFileInfo path(port.startsWith(u'/') ? port : QStringLiteral("/dev/") + port);
    const QString canonical = path.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path.absoluteFilePath()) : canonical;
#endif
}

// Each --port opens one port, and no port is named twice.
QString choosePorts(const CommandLineOptions& o, std::vector<PortInfo>& chosenPorts)
{
    const PortListing listing = PortDiscovery(makeSystemPortSource()).list();
    std::map<QString, QString> byDevice;
    for (const QString& spec : o.ports) {
        const ChosenPort chosen = ChosenPort::choose(spec, listing, o.command == Command::Station ? ChosenPort::Absent::Awaited : ChosenPort::Absent::Refused);
        if (!chosen.error().isEmpty())
            return chosen.error();
        chosenPorts.push_back(chosen.port());
        const auto [given, fresh] = byDevice.emplace(deviceOf(chosen.path()), spec);
        if (!fresh)
            return QStringLiteral("--port %1 and --port %2 are the same port").arg(given->second, spec);
    }
    return {};
}

QString checkOutput(const CommandLineOptions& o)
{
    if (o.output.isEmpty())
        return QStringLiteral("read needs -o OUT.bin");
    if (o.ports.size() > 1 && !o.output.contains(CommandLineOptions::PortPlaceholder))
        return QStringLiteral("with several ports, -o must contain {port}");
    std::map<QString, QString> byFile;
    for (const QString& port : o.ports) {
        const QFileInfo file(o.outputFor(port));
        const QFileInfo folder(file.absolutePath());
        if (file.isDir())
            return QStringLiteral("%1 is a folder").arg(file.filePath());
        if (!folder.isDir())
            return QStringLiteral("%1: its folder does not exist").arg(file.filePath());
        if (!folder.isWritable())
            return QStringLiteral("%1: its folder cannot be written").arg(file.filePath());
        const auto [first, fresh] = byFile.emplace(QDir::cleanPath(file.absoluteFilePath()), port);
        if (!fresh)
            return QStringLiteral("ports %1 and %2 would both write %3").arg(first->second, port, file.filePath());
    }
    return {};
}

QString checkRead(const CommandLineOptions& o, const Job& job)
{
    if (!job.address)
        return QStringLiteral("read needs --address");
    if (job.pages < 1 || job.pages > job.model.mostReadPages)
        return QStringLiteral("--pages must be from 1 to %1").arg(job.model.mostReadPages);
    if (addressValue(*job.address) + std::int64_t(job.pages) * job.model.pageBytes > AddressSpaceBytes)
        return QStringLiteral("--address and --pages reach beyond the 4 GiB a device can address");
    return checkOutput(o);
}

bool runsDevices(Command command)
{
    return command == Command::Download || command == Command::Write || command == Command::Read || command == Command::Program;
}

// The command's job: its images taken and planned, by the command line's rules. A command that runs
// no device has the images it is given taken all the same, and refused as they would be.
QString makeJob(const CommandLineOptions& o, Job& job)
{
    const StationJob& request = o.request;
    if (!runsDevices(o.command)) {
        JobImages images;
        return takeImages(request, images);
    }
    // A job file's round, with the options given beside it winning, is checked as a station's.
    if (o.command == Command::Program && request.file.isEmpty() && request.slot0.isEmpty() && request.slot1.isEmpty() && request.application.isEmpty())
        return QStringLiteral("program needs --slot0, --slot1 or --app");
    if (const QString error = prepareJob(request, job); !error.isEmpty())
        return error;
    return o.command == Command::Read ? checkRead(o, job) : QString();
}

}  // namespace

QString checkInput(const CommandLineOptions& o, RunInput& input)
{
    if (o.help || o.version || (!runsDevices(o.command) && o.command != Command::Station && o.command != Command::Ports && o.command != Command::Doctor))
        return {};
    if (const QString error = choosePorts(o, input.ports); !error.isEmpty())
        return error;
    // The station takes its images itself, once for every socket.
    if (o.command == Command::Station)
        return {};
    Job& job = input.job;
    if (const QString error = makeJob(o, job); !error.isEmpty())
        return error;
    job.barcode = o.barcode;
    if (job.unique && job.unique->needsBarcode() && o.barcode.isEmpty())
        return QStringLiteral("the job's unique page carries the board's barcode: give --barcode");
    if (job.barcodeRequired && o.barcode.isEmpty())
        return QStringLiteral("the job needs each board's barcode: give --barcode");
    // A code belongs to one board: the second port's would repeat the first's.
    if (!o.barcode.isEmpty() && o.ports.size() > 1 && !job.repeatBarcodes)
        return QStringLiteral("--barcode is the code of one board: give one --port");
    return {};
}

}  // namespace iap::cli
