#include "CommandLineOptions.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFileInfo>

#include <array>
#include <functional>
#include <limits>

#include "protocol/HexNumber.h"

namespace iap::cli {
namespace {

std::optional<Command> commandNamed(const QString& name)
{
    const std::pair<const char*, Command> commands[] = {
        {"ports", Command::Ports}, {"doctor", Command::Doctor}, {"download", Command::Download}, {"write", Command::Write}, {"read", Command::Read}, {"program", Command::Program},
        {"station", Command::Station}, {"journal", Command::Journal}, {"job", Command::Job}, {"report", Command::Report},
        {"deliver", Command::Deliver}};
    for (const auto& [text, command] : commands)
        if (name == QLatin1String(text))
            return command;
    return std::nullopt;
}

// What a command's runs do on each port; a station's round for the commands that run none.
Job::Kind jobKindOf(Command command)
{
    switch (command) {
    case Command::Download:
        return Job::Kind::Download;
    case Command::Write:
        return Job::Kind::FlashWrite;
    case Command::Read:
        return Job::Kind::FlashRead;
    default:
        break;
    }
    return Job::Kind::Round;
}

struct JournalOptions {
    QCommandLineOption port, since, result, csv, json, serial, undelivered;
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
    o.undelivered = parser.isSet(options.undelivered);
    if (o.undelivered && (!o.journalFilter.port.isEmpty() || parser.isSet(options.since) || parser.isSet(options.result) || parser.isSet(options.serial))) {
        error = QStringLiteral("--undelivered lists every record that waits or was refused: give it without --port, --since, --result and --serial");
        return;
    }
    o.journalFilter.boardSerial = parser.value(options.serial);
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

struct ReportOptions {
    QCommandLineOption since, until, by, shifts, csv, html;
};

std::optional<QDateTime> timeOption(const QCommandLineParser& parser, const QCommandLineOption& option, QString& error)
{
    if (!parser.isSet(option))
        return std::nullopt;
    const std::optional<QDateTime> time = parseSince(parser.value(option));
    if (!time && error.isEmpty())
        error = QStringLiteral("--%1 %2 is not a date or time such as 2024-05-31, 2024-05-31T14:00 or 2024-05-31T14:00+02:00")
                    .arg(option.names().first(), parser.value(option));
    return time;
}

// The report's range, grouping and way out; it talks to no port.
QString parseReportOptions(CommandLineOptions& o, const QCommandLineParser& parser, const ReportOptions& options)
{
    if (!parser.positionalArguments().isEmpty())
        return QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first());
    if (!o.ports.isEmpty())
        return QStringLiteral("--port does not belong to iap-cli report");
    if (int(parser.isSet(options.csv)) + int(o.json) + int(parser.isSet(options.html)) > 1)
        return QStringLiteral("give one of --csv, --json and --html");
    o.csv = parser.isSet(options.csv);
    o.htmlFile = parser.value(options.html);
    if (parser.isSet(options.html) && o.htmlFile.isEmpty())
        return QStringLiteral("--html needs the name of a file");
    QString error;
    o.reportRange = {timeOption(parser, options.since, error), timeOption(parser, options.until, error)};
    if (!error.isEmpty())
        return error;
    const std::optional<ReportBy> by = reportByNamed(parser.value(options.by).isEmpty() ? QStringLiteral("socket") : parser.value(options.by));
    if (!by)
        return QStringLiteral("--by must be %1, not %2").arg(reportByChoices(), parser.value(options.by));
    std::optional<std::vector<QTime>> shifts = std::vector<QTime>{};
    if (parser.isSet(options.shifts))
        shifts = parseShiftStarts(parser.value(options.shifts));
    if (!shifts)
        return QStringLiteral("--shifts %1 is not a list of times of day such as 06:00,14:00,22:00").arg(parser.value(options.shifts));
    o.reportGrouping = ReportGrouping(*by, *shifts);
    return {};
}

// job pin JOB.json, the one thing a job command does, with no option.
QString takeJobArguments(CommandLineOptions& o, const QCommandLineParser& parser)
{
    if (const QStringList given = parser.optionNames(); !given.isEmpty())
        return QStringLiteral("%1%2 does not belong to iap-cli job").arg(given.first().size() > 1 ? QStringLiteral("--") : QStringLiteral("-"), given.first());
    const QStringList words = parser.positionalArguments();
    if (words.size() != 2 || words.first() != QLatin1String("pin"))
        return QStringLiteral("give iap-cli job pin JOB.json");
    o.jobToPin = words.last();
    return {};
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
QString takeJobFile(CommandLineOptions& o, const QString& file, const QCommandLineParser& parser, const std::array<QCommandLineOption, 5>& jobOptions)
{
    if (file.isEmpty())
        return {};
    QString error;
    std::optional<StationJob> loaded = loadStationJob(file, error);
    if (!loaded)
        return error;
    const StationJob& given = o.request;
    const auto& [model, address, slot0, slot1, application] = jobOptions;
    loaded->kind = given.kind;
    if (parser.isSet(model))
        loaded->model = given.model;
    loaded->replyTimeoutSeconds = given.replyTimeoutSeconds;
    loaded->verify = loaded->verify || given.verify;
    if (parser.isSet(address))
        loaded->address = given.address;
    for (const auto& [path, option, value] : {std::tuple{&loaded->slot0, slot0, given.slot0}, {&loaded->slot1, slot1, given.slot1},
                                              {&loaded->application, application, given.application}})
        if (parser.isSet(option))
            *path = value;
    o.request = *loaded;
    return {};
}

// Every option any command takes.
struct OptionSet {
    static QCommandLineOption withValue(const char* name) { return QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value")); }

    const QCommandLineOption help{QStringList{QStringLiteral("h"), QStringLiteral("help")}};
    const QCommandLineOption json{QStringLiteral("json")}, csv{QStringLiteral("csv")}, verify{QStringLiteral("verify")};
    const QCommandLineOption port = withValue("port"), model = withValue("model"), address = withValue("address"), pages = withValue("pages"),
                             output = withValue("o"), timeout = withValue("timeout"), slot0 = withValue("slot0"), slot1 = withValue("slot1"),
                             application = withValue("app"), jobFile = withValue("job"), continuous = withValue("continuous"),
                             journal = withValue("journal"), since = withValue("since"), result = withValue("result"),
                             trigger = withValue("trigger"), switchLine = withValue("switch"), probeAddress = withValue("probe-address"),
                             probeMs = withValue("probe-ms"), serial = withValue("serial"), barcode = withValue("barcode"),
                             barcodes = withValue("barcodes"), until = withValue("until"), by = withValue("by"),
                             shifts = withValue("shifts"), html = withValue("html"),
                             deliver = withValue("deliver"), deliverTokenFile = withValue("deliver-token-file");
    const QCommandLineOption undelivered{QStringLiteral("undelivered")};
};

// Each value of a numeric option in turn (the last one stays); the first that is not a whole
// number from `lowest` to `highest` is refused with `refusal` (its one placeholder left: the
// value) unless an earlier error stands.
void takeWholeNumbers(const QStringList& values, int lowest, int highest, const QString& refusal, const std::function<void(int)>& take, QString& error)
{
    for (const QString& text : values) {
        bool ok = false;
        const int value = text.toInt(&ok);
        take(value);
        if ((!ok || value < lowest || value > highest) && error.isEmpty())
            error = refusal.arg(text);
    }
}

// The options every command may be given; the first refusal, a missing port's before the rest.
QString takeCommonValues(CommandLineOptions& o, const QCommandLineParser& parser, const OptionSet& options)
{
    QString error;
    o.json = parser.isSet(options.json);
    o.request.verify = parser.isSet(options.verify);
    if (o.request.verify && o.command != Command::Download && o.command != Command::Write && o.command != Command::Program && o.command != Command::Station)
        error = QStringLiteral("--verify belongs to download, write, program and station");
    o.ports = parser.values(options.port);
    if (o.ports.contains(QString()))
        error = QStringLiteral("--port needs the name of a port");
    for (const QString& name : parser.values(options.model)) {
        if (const std::optional<DeviceProfile> named = deviceNamed(name))
            o.request.model = *named;
        else if (error.isEmpty())
            error = QStringLiteral("--model must be %1").arg(modelChoices());
    }
    for (const QString& text : parser.values(options.address)) {
        o.request.address = text;
        if (!parseAddress(text) && error.isEmpty())
            error = QStringLiteral("--address %1 is not eight hexadecimal digits").arg(text);
    }
    takeWholeNumbers(parser.values(options.pages), std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), QStringLiteral("--pages %1 is not a number"),
                     [&o](int pages) { o.request.pages = pages; }, error);
    takeWholeNumbers(parser.values(options.timeout), 1, CommandLineOptions::LongestTimeoutSeconds,
                     QStringLiteral("--timeout %2 is not a whole number of seconds from 1 to %1").arg(CommandLineOptions::LongestTimeoutSeconds),
                     [&o](int seconds) { o.request.replyTimeoutSeconds = seconds; }, error);
    takeWholeNumbers(parser.values(options.continuous), 0, CommandLineOptions::LongestRestSeconds,
                     QStringLiteral("--continuous %2 is not a whole number of seconds from 0 to %1").arg(CommandLineOptions::LongestRestSeconds),
                     [&o](int seconds) { o.restSeconds = seconds; }, error);
    o.output = parser.value(options.output);
    o.journal = parser.value(options.journal);
    o.request.slot0 = parser.value(options.slot0);
    o.request.slot1 = parser.value(options.slot1);
    o.request.application = parser.value(options.application);
    return error;
}

// What belongs to one command only: the journal's filters, the station's job and triggers.
QString takeCommandOptions(CommandLineOptions& o, const QCommandLineParser& parser, const OptionSet& options)
{
    QString error;
    if (o.command == Command::Journal) {
        parseJournalOptions(o, parser, {options.port, options.since, options.result, options.csv, options.json, options.serial, options.undelivered},
                            error);
        if (error.isEmpty())
            for (const QCommandLineOption& only : {options.until, options.by, options.shifts, options.html})
                if (parser.isSet(only))
                    return QStringLiteral("--%1 belongs to iap-cli report").arg(only.names().first());
        return error;
    }
    if (o.command == Command::Report) {
        for (const QCommandLineOption& only : {options.result, options.serial, options.undelivered})
            if (parser.isSet(only))
                return QStringLiteral("--%1 belongs to iap-cli journal").arg(only.names().first());
        return parseReportOptions(o, parser, {options.since, options.until, options.by, options.shifts, options.csv, options.html});
    }
    for (const QCommandLineOption& only : {options.since, options.result, options.csv, options.serial, options.undelivered})
        if (parser.isSet(only))
            return QStringLiteral("--%1 belongs to iap-cli journal").arg(only.names().first());
    for (const QCommandLineOption& only : {options.until, options.by, options.shifts, options.html})
        if (parser.isSet(only))
            return QStringLiteral("--%1 belongs to iap-cli report").arg(only.names().first());
    if (o.command != Command::Program && o.command != Command::Station && parser.isSet(options.jobFile))
        return QStringLiteral("--job belongs to iap-cli program and station");
    if (o.command != Command::Program && parser.isSet(options.barcode))
        return QStringLiteral("--barcode belongs to iap-cli program");
    if (o.command != Command::Station && parser.isSet(options.barcodes))
        return QStringLiteral("--barcodes belongs to iap-cli station");
    o.barcode = parser.value(options.barcode);
    o.barcodes = parser.value(options.barcodes);
    if (o.command == Command::Program && !parser.value(options.jobFile).isEmpty())
        return takeJobFile(o, parser.value(options.jobFile), parser, {options.model, options.address, options.slot0, options.slot1, options.application});
    if (o.command == Command::Station) {
        error = takeJobFile(o, parser.value(options.jobFile), parser, {options.model, options.address, options.slot0, options.slot1, options.application});
        return error.isEmpty() ? stationTriggers(o.request, parser, {options.trigger, options.switchLine, options.probeAddress, options.probeMs}) : error;
    }
    for (const QCommandLineOption& only : {options.trigger, options.switchLine, options.probeAddress, options.probeMs})
        if (parser.isSet(only))
            return QStringLiteral("--%1 belongs to iap-cli station").arg(only.names().first());
    return {};
}

// The targets given (--deliver once for each), else the job file's (the station passes them on
// with its job); their token from the file given, else the environment, never from the command
// line itself.
QString takeDelivery(CommandLineOptions& o, const QCommandLineParser& parser, const OptionSet& options)
{
    const bool delivers = o.command == Command::Download || o.command == Command::Write || o.command == Command::Read || o.command == Command::Program ||
                          o.command == Command::Station || o.command == Command::Deliver;
    for (const QCommandLineOption& option : {options.deliver, options.deliverTokenFile})
        if (!delivers && parser.isSet(option))
            return QStringLiteral("--%1 belongs to iap-cli download, write, read, program, station and deliver").arg(option.names().first());
    if (!delivers)
        return {};
    if (o.command == Command::Deliver && !parser.positionalArguments().isEmpty())
        return QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first());
    if (o.command == Command::Deliver && !o.ports.isEmpty())
        return QStringLiteral("--port does not belong to iap-cli deliver");
    QStringList targets = parser.isSet(options.deliver) ? parser.values(options.deliver) : o.request.deliver;
    // A target given twice would have each record delivered to it twice.
    targets.removeAll(QString());
    targets.removeDuplicates();
    o.request.deliver = targets;
    QString why;
    for (const QString& text : targets) {
        const std::optional<DeliveryTarget> target = DeliveryTarget::of(text, why);
        if (!target)
            return why;
        o.deliveryTargets.push_back(*target);
    }
    o.deliveryToken = deliveryToken(parser.value(options.deliverTokenFile), why);
    return why;
}

// The program's help (also help [COMMAND]) or its version, asked before any command; false when
// the arguments ask for neither.
bool askedAboutTheProgram(const QStringList& arguments, CommandLineOptions& o, QString& error)
{
    const QString first = arguments.value(0);
    if (arguments.isEmpty() || first == QLatin1String("--help") || first == QLatin1String("-h")) {
        o.help = true;
        return true;
    }
    if (first == QLatin1String("--version") || first == QLatin1String("-V")) {
        o.version = true;
        return true;
    }
    if (first != QLatin1String("help"))
        return false;
    if (arguments.size() > 2)
        error = QStringLiteral("unexpected argument %1").arg(arguments[2]);
    else if (arguments.size() == 2 && !(o.helpTopic = commandNamed(arguments[1])))
        error = QStringLiteral("unknown command %1").arg(arguments[1]);
    o.help = error.isEmpty();
    return true;
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
    if (askedAboutTheProgram(arguments, o, error))
        return o;
    const auto command = commandNamed(arguments.first());
    if (!command) {
        error = QStringLiteral("unknown command %1").arg(arguments.first());
        return o;
    }
    o.command = *command;
    o.request.kind = jobKindOf(o.command);
    const OptionSet options;
    QCommandLineParser parser;
    parser.addOptions({options.help, options.json, options.verify, options.port, options.model, options.address, options.pages, options.output,
                       options.timeout, options.slot0, options.slot1, options.application, options.jobFile, options.continuous, options.journal,
                       options.since, options.result, options.csv, options.trigger, options.switchLine, options.probeAddress, options.probeMs,
                       options.serial, options.barcode, options.barcodes, options.until, options.by, options.shifts, options.html,
                       options.deliver, options.deliverTokenFile, options.undelivered});
    if (!parser.parse(QStringList{QStringLiteral("iap-cli")} + arguments.mid(1))) {
        const QStringList unknown = parser.unknownOptionNames();
        error = unknown.isEmpty() ? parser.errorText()
                                  : QStringLiteral("unknown option %1%2").arg(unknown.first().size() > 1 ? QStringLiteral("--") : QStringLiteral("-"), unknown.first());
        return o;
    }
    o.help = parser.isSet(options.help);
    if (o.help) {
        o.helpTopic = o.command;
        return o;
    }
    if (o.command == Command::Job) {
        error = takeJobArguments(o, parser);
        return o;
    }
    error = takeCommonValues(o, parser, options);
    if (error.isEmpty())
        error = takeCommandOptions(o, parser, options);
    if (error.isEmpty())
        error = takeDelivery(o, parser, options);
    if (!error.isEmpty() || o.command == Command::Journal || o.command == Command::Report || o.command == Command::Deliver)
        return o;
    const QStringList files = parser.positionalArguments();
    const bool takesFile = o.command == Command::Download || o.command == Command::Write;
    if (files.size() != (takesFile ? 1 : 0)) {
        error = takesFile ? QStringLiteral("give exactly one image file") : QStringLiteral("unexpected argument %1").arg(files.value(0));
        return o;
    }
    if (o.command != Command::Ports && o.command != Command::Doctor && o.ports.isEmpty())
        error = QStringLiteral("give at least one --port");
    o.request.image = files.value(0);
    return o;
}

}  // namespace iap::cli
