#include "JournalCommand.h"

#include "journal/Journal.h"

namespace iap::cli {

QString journalText(const Options& options, QString& error)
{
    Journal journal(options.journal, Journal::Access::Read);
    const std::vector<JournalRecord> records = journal.records(options.journalFilter, error);
    if (!error.isEmpty())
        return {};
    return options.csv ? journalCsv(records) : options.json ? journalJsonLines(records) : journalTable(records);
}

}  // namespace iap::cli
