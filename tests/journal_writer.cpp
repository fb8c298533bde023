// One of several programs appending to one journal at once: appends COUNT records whose host is
// TAG and whose result counts from 0, and fails at the first record not written.
//   journal_writer LOCATION TAG COUNT
#include <QCoreApplication>
#include <QDateTime>

#include <cstdio>

#include "journal/Journal.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 4)
        return 2;
    iap::Journal journal(arguments[1]);
    for (int i = 0; i < arguments[3].toInt(); ++i) {
        iap::JournalRecord record;
        record.started = record.ended = QDateTime::currentDateTimeUtc();
        record.host = arguments[2];
        record.result = QString::number(i);
        if (const QString error = journal.records().append(record); !error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }
    return 0;
}
