#include "JournalCommand.h"

#include "journal/Journal.h"
#include "journal/JournalFormats.h"
#include "UndeliveredList.h"

namespace iap::cli {

QString journalText(const CommandLineOptions& options, QString& error)
{
    Journal journal(options.journal, Journal::Access::Read);
    if (options.undelivered) {
        const std::vector<OutboxEntry> entries = journal.outbox().undelivered({}, error);
        if (!error.isEmpty())
            return {};
        return options.csv ? undeliveredCsv(entries) : options.json ? undeliveredJsonLines(entries) : undeliveredTable(entries);
    }
    const std::vector<JournalRecord> records = journal.records().matching(options.journalFilter, error);
    if (!error.isEmpty())
        return {};
    return options.csv ? journalCsv(records) : options.json ? journalJsonLines(records) : journalTable(records);
}

}  // namespace iap::cli
