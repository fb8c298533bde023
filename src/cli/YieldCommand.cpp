#include "YieldCommand.h"

#include <QSaveFile>

#include <cstdio>

#include "report/ReportHtml.h"
#include "report/ReportText.h"
#include "report/YieldReport.h"

namespace iap::cli {
namespace {

constexpr int FailedStatus = 2;

int refuse(const QString& why)
{
    std::fprintf(stderr, "iap-cli: %s\n", qPrintable(why));
    return FailedStatus;
}

}  // namespace

int runYieldReport(const CommandLineOptions& options)
{
    QString error;
    const std::optional<YieldReport> report = readYieldReport(options.journal, options.reportGrouping, options.reportRange, error);
    if (!report)
        return refuse(error);
    if (options.htmlFile.isEmpty()) {
        const QString text = options.csv ? yieldCsv(*report) : options.json ? yieldJsonLines(*report) : yieldTable(*report);
        std::printf("%s", text.toUtf8().constData());
        return 0;
    }
    // Whole or not at all: a page half written would look like a report of fewer boards.
    QSaveFile file(options.htmlFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(yieldHtml(*report, QDateTime::currentDateTimeUtc()).toUtf8()) < 0 || !file.commit())
        return refuse(QStringLiteral("The report %1 cannot be written: %2").arg(options.htmlFile, file.errorString()));
    return 0;
}

}  // namespace iap::cli
