#pragma once

#include <QString>

#include <vector>

#include "journal/JournalRound.h"

namespace iap {

class JournalDatabase;

// The records as the yield report reads them: the rounds of a range, reading only the columns the
// report needs (a column a journal of an older version lacks is read as its empty value).
class RoundReader {
public:
    explicit RoundReader(JournalDatabase& database);

    // The rounds of the range in the order they started (`withImage`: each round's image too,
    // which a report by image needs and no other does); on failure none, and `error` says why.
    std::vector<JournalRound> read(const JournalRoundRange& range, bool withImage, QString& error);

private:
    JournalDatabase& database;
};

}  // namespace iap
