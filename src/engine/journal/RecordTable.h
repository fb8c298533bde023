#pragma once

#include <QDateTime>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

#include "journal/JournalRecord.h"
#include "journal/RecordOutput.h"

class QSqlQuery;

namespace iap {

class JournalDatabase;

// Which records to read; each criterion left empty takes every record.
struct RecordFilter {
    std::optional<QDateTime> since;
    // A port's name, path or by-path link, or a socket's name; empty: every port.
    QString port;
    std::optional<bool> pass;
    // The board's serial, exactly; empty: every board.
    QString boardSerial = {};
    // The code scanned for the board, exactly; empty: every board.
    QString barcode = {};
};

// The journal's records: each run's record written whole or not at all, with what each output
// keeps of it in the same transaction, and read back by filter.
class RecordTable {
public:
    explicit RecordTable(JournalDatabase& database);
    ~RecordTable();
    RecordTable(const RecordTable&) = delete;
    RecordTable& operator=(const RecordTable&) = delete;

    // Empty when the record was written whole; otherwise why it was not written at all. A record
    // needs a valid start and end time. Connects first when needed, and once more when the
    // connection turns out lost.
    QString append(const JournalRecord& record);
    // In the order they were written; on failure none, and `error` says why.
    std::vector<JournalRecord> matching(const RecordFilter& filter, QString& error);

    // Each record appended from now on goes to the output too, after those added before; without
    // an output a record is kept in its row alone.
    void addOutput(std::unique_ptr<RecordOutput> output);
    void clearOutputs();

    // Why the record cannot be appended, before the database is asked; empty when it can.
    QString refusalOf(const JournalRecord& record) const;
    // Within a transaction on the journal's database: the record's row, then each output's part.
    // False when any of it failed (the transaction is then to be rolled back).
    bool insert(QSqlQuery& query, const JournalRecord& record) const;
    // Proves that a record can be written now, by writing one, outputs and all, that is rolled
    // back. Empty when it can; otherwise why not.
    QString proveWritable();

private:
    JournalDatabase& database;
    std::vector<std::unique_ptr<RecordOutput>> outputs;
};

}  // namespace iap
