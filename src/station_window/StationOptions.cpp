#include "StationOptions.h"

namespace iap {

std::optional<StationOptions> stationOptions(const QStringList& arguments, QString& error)
{
    const QString operatorOption = QStringLiteral("--operator");
    StationOptions options;
    bool station = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--station")) {
            station = true;
        } else if (argument == operatorOption || argument.startsWith(operatorOption + u'=')) {
            // Operator mode is the station's only: it never opens an unlocked window instead.
            station = true;
            options.operatorJob = argument == operatorOption ? arguments.value(++i) : argument.mid(operatorOption.size() + 1);
            if (options.operatorJob.isEmpty() || options.operatorJob.startsWith(QLatin1String("--"))) {
                error = QStringLiteral("--operator needs the job file: iap --station --operator JOB.json");
                return std::nullopt;
            }
        }
    }
    if (!station)
        return std::nullopt;
    return options;
}

}  // namespace iap
