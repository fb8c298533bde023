#include "ProgramArguments.h"

#include <array>

#include "device/DeviceProfiles.h"

namespace iap {
namespace {

// The options Qt's application takes itself (with one dash or two), which the window passes on.
constexpr std::array QtOptionsWithValue{"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon",
                                        "qwindowtitle", "session", "style", "stylesheet", "display", "geometry", "name", "title"};
constexpr std::array QtFlags{"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"};

// The name of an option of Qt's given as `argument`, without its dashes and any "=value".
QString qtOptionName(const QString& argument)
{
    QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
    return name.left(name.indexOf(u'='));
}

template <std::size_t Count>
bool named(const std::array<const char*, Count>& names, const QString& name)
{
    for (const char* known : names)
        if (name == QLatin1String(known))
            return true;
    return false;
}

}  // namespace

ProgramArguments parseProgramArguments(const QStringList& arguments)
{
    ProgramArguments parsed;
    const auto refuse = [&parsed](const QString& why) {
        parsed.action = ProgramArguments::Action::Refuse;
        parsed.error = why;
        return parsed;
    };
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            parsed.action = ProgramArguments::Action::Help;
            return parsed;
        }
        if (argument == QLatin1String("--version") || argument == QLatin1String("-V")) {
            parsed.action = ProgramArguments::Action::Version;
            return parsed;
        }
        if (argument == QLatin1String("--station") || argument.startsWith(QLatin1String("--operator=")))
            continue;
        // The job file follows; stationOptions says when it is missing.
        if (argument == QLatin1String("--operator")) {
            if (i + 1 < arguments.size() && !arguments[i + 1].startsWith(QLatin1String("--")))
                ++i;
            continue;
        }
        if (!argument.startsWith(u'-') || argument == QLatin1String("-") || argument == QLatin1String("--"))
            return refuse(QStringLiteral("unexpected argument %1").arg(argument));
        const QString name = qtOptionName(argument);
        if (named(QtFlags, name))
            continue;
        if (!named(QtOptionsWithValue, name))
            return refuse(QStringLiteral("unknown option %1").arg(argument));
        parsed.platformGiven = parsed.platformGiven || name == QLatin1String("platform");
        if (!argument.contains(u'=') && ++i >= arguments.size())
            return refuse(QStringLiteral("%1 needs a value").arg(argument));
    }
    QString error;
    parsed.station = stationOptions(arguments, error);
    if (!error.isEmpty())
        return refuse(error);
    return parsed;
}

QString programHelpText()
{
    return QStringLiteral(R"(Usage: iap [--station [--operator JOB.json]]

The window with which a technician loads an application image into an %1 device
through its IAP bootloader ("Open APP File", then "IAP"), writes flash images into its flash
("Open Flash File", then "Write Flash") and reads flash pages back into a file, over one serial
port. "ATUO" programs one device after another.

Options:
  --station            open the production station instead: one job, and a tile per fixture
                       socket that programs each board as soon as it is put in and puts every
                       round on record in the journal
  --operator JOB.json  with --station: operator mode, the job from the file, locked
  -h, --help           print this help and exit
  -V, --version        print the version and exit

The window needs a display. Without one, iap-cli does the same work from a terminal; when a
port cannot be opened, run iap-cli doctor.

Exit status: 0 when the window was closed; 1 when no window can be opened (no display); 2 when
the arguments cannot be taken.
)")
        .arg(modelChoices());
}

}  // namespace iap
