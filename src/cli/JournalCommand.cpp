#include "JournalCommand.h"

#include "journal/Journal.h"
#include "journal/JournalFormats.h"

namespace iap::cli {

QString journalText(const CommandLineOptions& options, QString& error)
{
    Journal journal(options.journal, Journal::Access::Read);
    const std::vector<JournalRecord> records = journal.records(options.journalFilter, error);
    if (!error.isEmpty())
        return {};
    return options.csv ? journalCsv(records) : options.json ? journalJsonLines(records) : journalTable(records);
}

}  // namespace iap::cli
