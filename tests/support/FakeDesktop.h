#pragma once

#include <QElapsedTimer>
#include <QMutex>
#include <QQueue>
#include <QStringList>

#include <vector>

#include "platform/Platform.h"
#include "Desktop.h"

namespace iap::test {

// The dialogs answer from a queue; an empty queue answers "cancelled".
class FakeFileDialog final : public FileDialog {
public:
    QString showOpen(QWidget*, const QString& filter) override { return answer(filter); }
    QString showSave(QWidget*, const QString& filter) override { return answer(filter); }

    QQueue<QString> answers;
    QStringList filters;

private:
    QString answer(const QString& filter)
    {
        filters << filter;
        return answers.isEmpty() ? QString() : answers.dequeue();
    }
};

class FakeMessageBox final : public MessageBox {
public:
    void show(QWidget*, const QString& text, const QString& title, Icon icon) override
    {
        shown << QStringList{title, text, icon == Icon::Exclamation ? "!" : ""}.join(u'|');
    }
    // "title|text|!" per box, the mark for the exclamation icon.
    QStringList shown;
};

// Opens nothing; keeps what it was asked to open.
class FakeUrlOpener final : public UrlOpener {
public:
    bool open(const QUrl& url) override
    {
        opened << url;
        return true;
    }
    QList<QUrl> opened;
};

// The tool plays its tunes on a thread of their own.
class FakeTone final : public Tone {
public:
    void beep(int frequencyHz, int durationMs) override
    {
        const QMutexLocker lock(&mutex);
        notes.push_back({frequencyHz, durationMs});
    }
    std::vector<std::pair<int, int>> played()
    {
        const QMutexLocker lock(&mutex);
        return notes;
    }

private:
    QMutex mutex;
    std::vector<std::pair<int, int>> notes;
};

// A port of a fake list, named by its path; the description says what it is.
inline PortInfo fakePort(const QString& path, const QString& description)
{
    PortInfo port(path, path);
    port.describedAs(description, {});
    return port;
}

// A fixed list of ports.
class FakePortSource final : public PortSource {
public:
    explicit FakePortSource(std::vector<PortInfo> listed) : listed(std::move(listed)) {}
    std::vector<PortInfo> ports() override { return listed; }

    std::vector<PortInfo> listed;
};

// A clock that runs `speed` times as fast as the real one, so that the tool's long rests pass
// quickly; what the device does keeps the real time.
class FastClock final : public Clock {
public:
    explicit FastClock(int speed) : speed(speed) { started.start(); }
    std::int64_t nowMs() override { return started.elapsed() * speed; }

protected:
    std::int64_t realMsFor(std::int64_t clockMs) const override { return (clockMs + speed - 1) / speed; }

private:
    int speed;
    QElapsedTimer started;
};

// What a person sees and hears of the desktop, kept reachable after the window took the fakes.
struct FakeDesktop {
    FakeFileDialog* fileDialog = nullptr;
    FakeMessageBox* messageBox = nullptr;
    FakeUrlOpener* urlOpener = nullptr;
    FakeTone* tone = nullptr;
};

// The system's serial ports and clock, a fake tone. Without a port source the system's own lists
// the ports, the announced virtual devices among them.
Platform makeTestPlatform(FakeDesktop& desktop, std::unique_ptr<PortSource> ports = nullptr, std::unique_ptr<Clock> clock = nullptr);
Desktop makeTestDesktop(FakeDesktop& desktop);

}  // namespace iap::test
