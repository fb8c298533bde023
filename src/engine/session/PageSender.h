#pragma once

#include <QObject>

#include <cstdint>

#include "image/ImageSnapshot.h"

namespace iap {

class ClockTimer;
class Connection;

// The page sender (Timer2): on a tick at which a page is armed it sends the next page of the
// image and adds every byte to the sum, or, past the last page, reports that all are out. It
// never moves on by itself: the transfer arms it after each acknowledgement. A page armed on a
// connection that has ended since is neither sent nor counted.
class PageSender : public QObject {
    Q_OBJECT

public:
    // The sender looks every millisecond whether the next page may go: a page leaves as soon as
    // the one before is acknowledged.
    static constexpr int IntervalMs = 1;

    PageSender(Connection& connection, QObject* parent);

    void load(const ImageSnapshot& image) { pages = image; }
    const ImageSnapshot& image() const { return pages; }
    // The last page to send: the image's last page index.
    std::int32_t lastPage() const { return pages.lastPageIndex(); }
    // Page `first` is the next to send, and the sum starts afresh.
    void restartAt(std::int32_t first);
    // The page in flight is acknowledged: the page after it is the next. Its index.
    std::int32_t acknowledge()
    {
        inFlight = false;
        return next++;
    }
    // A page was sent and not acknowledged yet.
    bool pageInFlight() const { return inFlight; }
    std::int32_t nextPage() const { return next; }
    void arm();
    void disarm();
    // A reply came: the sender waits until the line is silent again, armed or not.
    void pause();
    void resume();
    std::uint32_t sum() const { return runningSum; }

signals:
    void pageSent(std::int32_t page, std::uint32_t sum);
    void allSent();

private:
    void tick();

    Connection& link;
    ClockTimer* timer;
    ImageSnapshot pages;
    std::int32_t next = 0;
    bool armed = false;
    bool inFlight = false;
    // Summed modulo 2^32 and compared as unsigned, so images of any size neither overflow nor fail.
    std::uint32_t runningSum = 0;
};

}  // namespace iap
