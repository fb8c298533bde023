#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

#include "protocol/Page.h"
#include "protocol/ReplyRecognition.h"
#include "session/DeviceOperation.h"

namespace iap {

// The flash read: the command for a number of pages, the pages' data as they stream in, and the
// verdict on the device's "ChecksumR". Page data are data whatever they hold: only the bytes
// after the last page requested can be the device's checksum reply, whose keyword and sum may
// come in pieces.
class FlashRead : public DeviceOperation {
    Q_OBJECT

public:
    FlashRead(Connection& connection, QObject* parent);

    // Once the port is open: the command for that many pages (1 to the device's most) from the
    // address, in the device's pages; the line is polled at the device's pace until they come.
    void start(const Address& address, int pages);
    int pagesRead() const { return int(received.size() / pageBytes); }
    const QByteArray& data() const { return received; }
    // Writes the pages read to the file, replacing what was there only once all of it is written
    // False when the file cannot be written; the old file is then untouched.
    bool save(const QString& fileName) const;
    static QString unwritableText(const QString& fileName) { return QStringLiteral("The read-back file can't be written: ") + fileName; }

private:
    void take(const QByteArray& chunk) override;
    // Takes what belongs to the pages requested; the rest of the chunk.
    QByteArray takeData(const QByteArray& chunk);
    void judge(const QByteArray& checksumReply);

    // The page of the device the read was started for.
    int pageBytes = 1;
    std::int64_t expectedBytes = 0;
    QByteArray received;
    std::uint32_t sum = 0;
};

}  // namespace iap
