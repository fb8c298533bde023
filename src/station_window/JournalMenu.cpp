#include "JournalMenu.h"

#include <QDir>
#include <QTemporaryFile>

#include "MessageBox.h"
#include "UrlOpener.h"
#include "report/ReportHtml.h"
#include "report/YieldReport.h"

namespace iap {
namespace {

constexpr qint64 SecondsPerHour = 3600;

}  // namespace

JournalMenu::JournalMenu(std::function<QString()> journalInUse, UrlOpener& urlOpener, MessageBox& messageBox, QWidget* parent)
    : QMenu(QStringLiteral("&Journal"), parent), journal(std::move(journalInUse)), opener(urlOpener), messages(messageBox)
{
    setObjectName(QStringLiteral("journalMenu"));
    QAction* report = addAction(QStringLiteral("&Yield report…"), this, &JournalMenu::showYieldReport);
    report->setObjectName(QStringLiteral("yieldReport"));
}

void JournalMenu::showYieldReport()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QString error;
    const std::optional<YieldReport> report = readYieldReport(journal(), ReportGrouping(), {now.addSecs(-ReportHours * SecondsPerHour), std::nullopt}, error);
    // The browser opens the page after this call returns, and may keep it open for as long as
    // it likes: the file stays.
    QTemporaryFile page(QDir::tempPath() + QStringLiteral("/iap-yield-report-XXXXXX.html"));
    page.setAutoRemove(false);
    if (report && (!page.open() || page.write(yieldHtml(*report, now).toUtf8()) < 0 || !page.flush()))
        error = QStringLiteral("The yield report cannot be written to %1: %2").arg(page.fileName(), page.errorString());
    else if (report && !opener.open(QUrl::fromLocalFile(page.fileName())))
        error = QStringLiteral("The yield report %1 cannot be opened: no browser was found").arg(page.fileName());
    if (!error.isEmpty())
        messages.show(parentWidget(), error, QStringLiteral("Yield report"), MessageBox::Icon::Exclamation);
}

}  // namespace iap
