#include "CommandLineOptions.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFileInfo>

#include <array>

#include "InputChecks.h"
#include "protocol/HexNumber.h"

namespace iap::cli {
namespace {

std::optional<Command> commandNamed(const QString& name)
{
    const std::pair<const char*, Command> commands[] = {
        {"ports", Command::Ports}, {"doctor", Command::Doctor}, {"download", Command::Download}, {"write", Command::Write}, {"read", Command::Read}, {"program", Command::Program},
        {"station", Command::Station}, {"journal", Command::Journal}};
    for (const auto& [text, command] : commands)
        if (name == QLatin1String(text))
            return command;
    return std::nullopt;
}

struct JournalOptions {
    QCommandLineOption port, since, result, csv, json;
};

// The journal's --port is a filter, matched against what the records hold, not a port to open.
void parseJournalOptions(CommandLineOptions& o, const QCommandLineParser& parser, const JournalOptions& options, QString& error)
{
    if (!parser.positionalArguments().isEmpty())
        error = QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first());
    else if (o.ports.size() > 1)
        error = QStringLiteral("give --port once");
    else if (parser.isSet(options.csv) && o.json)
        error = QStringLiteral("give --csv or --json, not both");
    if (!error.isEmpty())
        return;
    o.journalFilter.port = o.ports.value(0);
    o.ports.clear();
    o.csv = parser.isSet(options.csv);
    if (parser.isSet(options.since)) {
        o.journalFilter.since = parseSince(parser.value(options.since));
        if (!o.journalFilter.since)
            error = QStringLiteral("--since %1 is not a date or time such as 2024-05-31, 2024-05-31T14:00 or 2024-05-31T14:00+02:00")
                        .arg(parser.value(options.since));
    }
    if (parser.isSet(options.result)) {
        const QString wanted = parser.value(options.result);
        if (wanted == QLatin1String("pass") || wanted == QLatin1String("fail"))
            o.journalFilter.pass = wanted == QLatin1String("pass");
        else
            error = QStringLiteral("--result must be pass or fail, not %1").arg(wanted);
    }
}

// The station's triggers: what the command line gives wins over the job file.
QString stationTriggers(StationJob& job, const QCommandLineParser& parser, const std::array<QCommandLineOption, 4>& triggerOptions)
{
    const auto& [trigger, switchLine, probeAddress, probeMs] = triggerOptions;
    for (const QString& name : parser.values(trigger)) {
        const std::optional<TriggerKind> kind = triggerNamed(name);
        if (!kind)
            return QStringLiteral("--trigger must be %1, not %2").arg(triggerChoices(), name);
        job.trigger = *kind;
    }
    for (const QString& name : parser.values(switchLine)) {
        const std::optional<ModemLine> line = modemLineNamed(name);
        if (!line)
            return QStringLiteral("--switch must be a modem-status input, %1, not %2").arg(modemLineChoices(), name);
        job.switchLine = *line;
    }
    for (const QString& text : parser.values(probeAddress)) {
        if (!parseAddress(text))
            return QStringLiteral("--probe-address %1 is not eight hexadecimal digits").arg(text);
        job.probeAddress = text;
    }
    for (const QString& text : parser.values(probeMs)) {
        bool ok = false;
        job.probeMs = text.toInt(&ok);
        if (!ok || job.probeMs < TriggerSettings::ShortestProbeMs || job.probeMs > TriggerSettings::LongestProbeMs)
            return QStringLiteral("--probe-ms %1 is not a whole number of milliseconds from %2 to %3")
                .arg(text)
                .arg(TriggerSettings::ShortestProbeMs)
                .arg(TriggerSettings::LongestProbeMs);
    }
    if (job.trigger == TriggerKind::Probe && job.probeAddress.isEmpty() && job.address.isEmpty())
        return QStringLiteral("the probe trigger reads a page of flash: give --probe-address or --address");
    return {};
}

// The job file first; each job option given on the command line wins over it.
QString stationJob(CommandLineOptions& o, const QString& file, const QCommandLineParser& parser, const std::array<QCommandLineOption, 5>& jobOptions)
{
    if (!file.isEmpty()) {
        QString error;
        const std::optional<StationJob> loaded = loadStationJob(file, error);
        if (!loaded)
            return error;
        o.stationJob = *loaded;
    }
    const auto& [model, address, slot0, slot1, application] = jobOptions;
    if (parser.isSet(model))
        o.stationJob.model = o.model;
    o.stationJob.replyTimeoutSeconds = o.timeoutSeconds;
    o.stationJob.verify = o.stationJob.verify || o.verify;
    if (parser.isSet(address))
        o.stationJob.address = parser.value(address);
    for (const auto& [path, option] : {std::pair{&o.stationJob.slot0, slot0}, {&o.stationJob.slot1, slot1}, {&o.stationJob.application, application}})
        if (parser.isSet(option))
            *path = parser.value(option);
    return {};
}

}  // namespace

std::optional<QDateTime> parseSince(const QString& text)
{
    const QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid())
        return std::nullopt;
    return time.timeSpec() == Qt::LocalTime ? QDateTime(time.date(), time.time(), Qt::UTC) : time;
}

QString CommandLineOptions::outputFor(const QString& port) const
{
    return QString(output).replace(PortPlaceholder, QFileInfo(port).fileName());
}

CommandLineOptions parseOptions(const QStringList& arguments, QString& error)
{
    CommandLineOptions o;
    if (arguments.isEmpty() || arguments.first() == QLatin1String("--help") || arguments.first() == QLatin1String("-h")) {
        o.help = true;
        return o;
    }
    if (arguments.first() == QLatin1String("--version")) {
        o.version = true;
        return o;
    }
    const auto command = commandNamed(arguments.first());
    if (!command) {
        error = QStringLiteral("unknown command %1").arg(arguments.first());
        return o;
    }
    o.command = *command;

    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption json(QStringLiteral("json"));
    const auto withValue = [](const char* name) { return QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value")); };
    const QCommandLineOption port = withValue("port"), model = withValue("model"), address = withValue("address"), pages = withValue("pages"),
                             output = withValue("o"), timeout = withValue("timeout"), slot0 = withValue("slot0"), slot1 = withValue("slot1"),
                             application = withValue("app"), jobFile = withValue("job"), continuous = withValue("continuous"),
                             journal = withValue("journal"), since = withValue("since"), result = withValue("result"),
                             trigger = withValue("trigger"), switchLine = withValue("switch"), probeAddress = withValue("probe-address"),
                             probeMs = withValue("probe-ms");
    const QCommandLineOption csv(QStringLiteral("csv")), verify(QStringLiteral("verify"));
    QCommandLineParser parser;
    parser.addOptions({help, json, verify, port, model, address, pages, output, timeout, slot0, slot1, application, jobFile, continuous, journal, since,
                       result, csv, trigger, switchLine, probeAddress, probeMs});
    if (!parser.parse(QStringList{QStringLiteral("iap-cli")} + arguments.mid(1))) {
        const QStringList unknown = parser.unknownOptionNames();
        error = unknown.isEmpty() ? parser.errorText()
                                  : QStringLiteral("unknown option %1%2").arg(unknown.first().size() > 1 ? QStringLiteral("--") : QStringLiteral("-"), unknown.first());
        return o;
    }
    o.help = parser.isSet(help);
    if (o.help)
        return o;
    o.json = parser.isSet(json);
    o.verify = parser.isSet(verify);
    if (o.verify && o.command != Command::Download && o.command != Command::Write && o.command != Command::Program && o.command != Command::Station)
        error = QStringLiteral("--verify belongs to download, write, program and station");
    o.ports = parser.values(port);
    if (o.ports.contains(QString()))
        error = QStringLiteral("--port needs the name of a port");
    for (const QString& name : parser.values(model)) {
        if (const std::optional<DeviceModel> named = modelNamed(name))
            o.model = *named;
        else if (error.isEmpty())
            error = QStringLiteral("--model must be %1").arg(modelChoices());
    }
    for (const QString& text : parser.values(address)) {
        o.address = parseAddress(text);
        if (!o.address && error.isEmpty())
            error = QStringLiteral("--address %1 is not eight hexadecimal digits").arg(text);
    }
    for (const QString& text : parser.values(pages)) {
        bool ok = false;
        o.pages = text.toInt(&ok);
        if (!ok && error.isEmpty())
            error = QStringLiteral("--pages %1 is not a number").arg(text);
    }
    for (const QString& text : parser.values(timeout)) {
        bool ok = false;
        o.timeoutSeconds = text.toInt(&ok);
        if ((!ok || o.timeoutSeconds < 1 || o.timeoutSeconds > CommandLineOptions::LongestTimeoutSeconds) && error.isEmpty())
            error = QStringLiteral("--timeout %1 is not a whole number of seconds from 1 to %2").arg(text).arg(CommandLineOptions::LongestTimeoutSeconds);
    }
    for (const QString& text : parser.values(continuous)) {
        bool ok = false;
        o.restSeconds = text.toInt(&ok);
        if ((!ok || *o.restSeconds < 0 || *o.restSeconds > CommandLineOptions::LongestRestSeconds) && error.isEmpty())
            error = QStringLiteral("--continuous %1 is not a whole number of seconds from 0 to %2").arg(text).arg(CommandLineOptions::LongestRestSeconds);
    }
    o.output = parser.value(output);
    o.journal = parser.value(journal);
    if (!error.isEmpty())
        return o;
    if (o.command == Command::Journal) {
        parseJournalOptions(o, parser, {port, since, result, csv, json}, error);
        return o;
    }
    for (const QCommandLineOption& only : {since, result, csv})
        if (parser.isSet(only)) {
            error = QStringLiteral("--%1 belongs to iap-cli journal").arg(only.names().first());
            return o;
        }
    if (o.command == Command::Station) {
        error = stationJob(o, parser.value(jobFile), parser, {model, address, slot0, slot1, application});
        if (error.isEmpty())
            error = stationTriggers(o.stationJob, parser, {trigger, switchLine, probeAddress, probeMs});
        if (!error.isEmpty())
            return o;
    } else {
        for (const QCommandLineOption& only : {trigger, switchLine, probeAddress, probeMs})
            if (parser.isSet(only)) {
                error = QStringLiteral("--%1 belongs to iap-cli station").arg(only.names().first());
                return o;
            }
    }

    const QStringList files = parser.positionalArguments();
    const bool takesFile = o.command == Command::Download || o.command == Command::Write;
    if (files.size() != (takesFile ? 1 : 0)) {
        error = takesFile ? QStringLiteral("give exactly one image file") : QStringLiteral("unexpected argument %1").arg(files.value(0));
        return o;
    }
    if (o.command != Command::Ports && o.command != Command::Doctor && o.ports.isEmpty()) {
        error = QStringLiteral("give at least one --port");
        return o;
    }
    error = checkInput(o, ImagePaths{files.value(0), parser.value(slot0), parser.value(slot1), parser.value(application)});
    return o;
}

}  // namespace iap::cli
