#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace iap {

// Reads one object of a job file key by key, each checked for its type. The first thing wrong is
// kept as a sentence naming the object it is in (the owner: "the unique page", "the serial field
// \"sn\""), so that a reader goes on and its caller asks once whether all was well.
class JsonReader {
public:
    // A JSON number is exact up to here; beyond, two numbers of a file could read as one.
    static constexpr std::uint64_t LargestWhole = (std::uint64_t(1) << 53) - 1;

    JsonReader(const QJsonObject& object, const QString& owner);
    // "a, b or c", for a message.
    static QString choices(const QStringList& names);
    const QString& owner() const { return name; }
    void setOwner(const QString& owner) { name = owner; }

    // Refuses the first key that is not among `allowed`, naming them.
    void allowOnly(const QStringList& allowed);
    bool has(const QString& key) const { return object.contains(key); }
    // Without "IfGiven" a key is required.
    QString text(const QString& key);
    std::optional<QString> textIfGiven(const QString& key);
    std::optional<std::uint64_t> whole(const QString& key, std::uint64_t least = 0, std::uint64_t most = LargestWhole);
    std::optional<std::uint64_t> wholeIfGiven(const QString& key, std::uint64_t least = 0, std::uint64_t most = LargestWhole);
    bool flag(const QString& key, bool otherwise);
    QJsonArray array(const QString& key);

    // Keeps `sentence` as the reason unless another came first.
    void refuse(const QString& sentence);
    bool failed() const { return !reason.isEmpty(); }
    const QString& why() const { return reason; }

private:
    bool present(const QString& key);

    QJsonObject object;
    QString name;
    QString reason;
};

}  // namespace iap
