#include "journal/Journal.h"

#include "journal/JournalDatabase.h"
#include "journal/JournalLocation.h"

namespace iap {

QString Journal::defaultLocation()
{
    return defaultJournalLocation();
}

bool Journal::holdsPassword(const QString& location)
{
    return isPostgresLocation(location) && journalLocationShown(location) != location;
}

Journal::Journal(const QString& location, Access access)
    : database(std::make_unique<JournalDatabase>(location, access == Access::Read)), recordTable(*database), roundReader(*database),
      uniquePools(*database, recordTable), outboxPart(*database)
{
}

Journal::~Journal() = default;

QString Journal::where() const
{
    return database->where();
}

QString Journal::check()
{
    if (const QString why = database->check(); !why.isEmpty() || database->isReadOnly())
        return why;
    if (const QString why = database->roomLeft(); !why.isEmpty())
        return why;
    return recordTable.proveWritable();
}

}  // namespace iap
