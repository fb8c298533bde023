#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

namespace iap::bench {

// Posts an event to the window's thread every 10 ms from a thread of its own and records how
// late each one runs: what a click, a key or a repaint would wait.
class LatencyProbe : public QObject {
public:
    static constexpr auto Period = std::chrono::milliseconds(10);

    LatencyProbe()
    {
        clock.start();
        poster = std::thread([this] {
            while (!stopping) {
                QCoreApplication::postEvent(this, new Posted(clock.nsecsElapsed()));
                std::this_thread::sleep_for(Period);
            }
        });
    }
    ~LatencyProbe() override { stop(); }

    void stop()
    {
        stopping = true;
        if (poster.joinable())
            poster.join();
        QCoreApplication::removePostedEvents(this);
    }
    // From now on only what follows counts; events that waited while the benchmark itself held
    // the thread (starting a device, say) are handled first and not counted.
    void restart()
    {
        QCoreApplication::sendPostedEvents(this);
        lateMs.clear();
        counting = true;
    }
    // Until the next restart nothing counts: the benchmark is about to hold the thread itself.
    void pause() { counting = false; }

    double maxMs() const { return lateMs.empty() ? 0 : *std::max_element(lateMs.begin(), lateMs.end()); }

    // "median x ms, max y ms (n events)"
    void print(const char* during)
    {
        std::vector<double> sorted = lateMs;
        std::sort(sorted.begin(), sorted.end());
        const double median = sorted.empty() ? 0 : sorted[sorted.size() / 2];
        const double max = sorted.empty() ? 0 : sorted.back();
        std::printf("  %-34s median %6.2f ms, max %7.2f ms (%zu events) %s\n", during, median, max, sorted.size(),
                    max < 30 ? "" : "OVER 30 ms");
    }

    bool event(QEvent* e) override
    {
        if (e->type() != Posted::Type)
            return QObject::event(e);
        if (counting)
            lateMs.push_back(double(clock.nsecsElapsed() - static_cast<Posted*>(e)->postedNs) / 1e6);

        return true;
    }

private:
    struct Posted : QEvent {
        static constexpr QEvent::Type Type = QEvent::Type(QEvent::User + 1);
        explicit Posted(qint64 at) : QEvent(Type), postedNs(at) {}
        qint64 postedNs;
    };

    QElapsedTimer clock;
    std::vector<double> lateMs;
    std::atomic<bool> stopping{false};
    bool counting = true;
    std::thread poster;
};

// Processor time of this process, in ms.
inline double cpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000 + double(now.tv_nsec) / 1e6;
}

}  // namespace iap::bench
