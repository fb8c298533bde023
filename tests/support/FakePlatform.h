#pragma once

#include <QQueue>
#include <QString>
#include <QStringList>

#include <memory>
#include <stdexcept>
#include <vector>

#include "platform/Platform.h"

namespace iap::test {

// Answers the file dialogs from a queue; an empty queue answers "cancelled".
class FakeFileDialog final : public FileDialog {
public:
    QString ShowOpen(QWidget*, const QString& filter) override;
    QString ShowSave(QWidget*, const QString& filter) override;

    QQueue<QString> answers;
    QStringList openFilters;
    QStringList saveFilters;
};

class FakeMessageBox final : public MessageBox {
public:
    struct Shown {
        QString text;
        QString title;
        Icon icon;
    };
    void Show(QWidget*, const QString& text, const QString& title, Icon icon) override;

    std::vector<Shown> shown;
};

class FakeTone final : public Tone {
public:
    struct Note {
        int frequencyHz;
        int durationMs;
        bool operator==(const Note&) const = default;
    };
    void Beep(int frequencyHz, int durationMs) override { notes.push_back({frequencyHz, durationMs}); }

    std::vector<Note> notes;
};

// A clock that runs with real time from a chosen start, e.g. just before midnight.
class OffsetClock final : public Clock {
public:
    explicit OffsetClock(std::int64_t startMs = 0);
    std::int64_t NowMs() override;

private:
    std::int64_t startMs;
    std::int64_t originNs;
};

// A fixed port list, as a registry or a sysfs tree would give it.
class FakePortSource final : public PortSource {
public:
    explicit FakePortSource(std::vector<PortValue> ports = {}, PortNameRules rules = PortNameRules::Verbatim)
        : ports(std::move(ports)), rules(rules) {}
    std::vector<PortValue> values() override
    {
        if (fails)
            throw std::runtime_error("source unavailable");
        return ports;
    }
    PortNameRules nameRules() const override { return rules; }

    std::vector<PortValue> ports;
    PortNameRules rules;
    // A source that cannot be read, like a registry key that is missing.
    bool fails = false;
};

// The fakes of a test window, kept reachable after the window took ownership of them.
struct FakeDesktop {
    FakeFileDialog* fileDialog = nullptr;
    FakeMessageBox* messageBox = nullptr;
    FakeTone* tone = nullptr;
};

// The system's serial interface with fakes for everything a person would see or hear.
// portSource: the ports to list; by default the real Linux source, which lists the virtual
// devices announced in XDG_RUNTIME_DIR (see PrivateRuntimeDir).
Platform makeTestPlatform(FakeDesktop& desktop, std::unique_ptr<PortSource> portSource = nullptr,
                          std::unique_ptr<Clock> clock = nullptr);

}  // namespace iap::test
