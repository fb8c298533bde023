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
QString choosePorts(CommandLineOptions& o)
{
    const PortListing listing = PortDiscovery(makeSystemPortSource()).list();
    std::map<QString, QString> byDevice;
    for (const QString& spec : o.ports) {
        const ChosenPort chosen = ChosenPort::choose(spec, listing, o.command == Command::Station ? ChosenPort::Absent::Awaited : ChosenPort::Absent::Refused);
        if (!chosen.error().isEmpty())
            return chosen.error();
        o.chosenPorts.push_back(chosen.port());
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

QString checkRead(const CommandLineOptions& o)
{
    if (!o.address)
        return QStringLiteral("read needs --address");
    if (o.pages < 1 || o.pages > o.model.mostReadPages)
        return QStringLiteral("--pages must be from 1 to %1").arg(o.model.mostReadPages);
    if (addressValue(*o.address) + std::int64_t(o.pages) * o.model.pageBytes > AddressSpaceBytes)
        return QStringLiteral("--address and --pages reach beyond the 4 GiB a device can address");
    return checkOutput(o);
}

// The command's job: its images taken and planned, by the command line's rules.
QString makeJob(CommandLineOptions& o, const ImagePaths& paths)
{
    Job& job = o.job;
    // A job file's round, with the options given beside it winning, is checked as a station's.
    if (o.command == Command::Program && !o.jobFile.isEmpty())
        return prepareRound(o.stationJob, job);
    job.model = o.model;
    job.address = o.address;
    job.pages = o.pages;
    job.verify = o.verify;
    job.replyTimeoutSeconds = o.timeoutSeconds;
    ImageSnapshot image;
    ImageSnapshot slot0;
    ImageSnapshot slot1;
    ImageSnapshot application;
    for (const auto& [taken, path] : {std::pair{&image, paths.image}, {&slot0, paths.slot0}, {&slot1, paths.slot1}, {&application, paths.application}})
        if (const QString error = takeImage(*taken, path, o.model.pageBytes); !error.isEmpty())
            return error;
    switch (o.command) {
    case Command::Download:
        return planSingleTransfer(job, image, OperationKind::Download, SingleTransferRules);
    case Command::Write:
        return planSingleTransfer(job, image, OperationKind::FlashWrite, SingleTransferRules);
    case Command::Read:
        job.kind = Job::Kind::FlashRead;
        return checkRead(o);
    case Command::Program:
        job.kind = Job::Kind::Round;
        if (paths.slot0.isEmpty() && paths.slot1.isEmpty() && paths.application.isEmpty())
            return QStringLiteral("program needs --slot0, --slot1 or --app");
        return planRound(job, slot0, slot1, application);
    case Command::Station:
    case Command::Ports:
    case Command::Doctor:
    case Command::Journal:
    case Command::Report:
    case Command::Job:
    case Command::Deliver:
        break;
    }
    return {};
}

}  // namespace

QString checkInput(CommandLineOptions& o, const ImagePaths& paths)
{
    if (const QString error = choosePorts(o); !error.isEmpty())
        return error;
    // The station takes its images itself, once for every socket.
    if (o.command == Command::Station)
        return {};
    if (const QString error = makeJob(o, paths); !error.isEmpty())
        return error;
    o.job.barcode = o.barcode;
    if (o.job.unique && o.job.unique->needsBarcode() && o.barcode.isEmpty())
        return QStringLiteral("the job's unique page carries the board's barcode: give --barcode");
    if (o.job.barcodeRequired && o.barcode.isEmpty())
        return QStringLiteral("the job needs each board's barcode: give --barcode");
    // A code belongs to one board: the second port's would repeat the first's.
    if (!o.barcode.isEmpty() && o.ports.size() > 1 && !o.job.repeatBarcodes)
        return QStringLiteral("--barcode is the code of one board: give one --port");
    return {};
}

}  // namespace iap::cli
