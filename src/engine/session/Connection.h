#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

#include "device/DeviceProfiles.h"
#include "platform/Attempt.h"
#include "serial/Line.h"

namespace iap {

class Clock;
class Exchange;
class PollLoop;

// One port's connection to a device: the port, the poll loop that brings what the device sends
// (Timer1) and the exchange those bytes go to. Every operation opens it afresh, and sends its
// command once the line is quiet: whatever the device still sends of an earlier exchange is
// thrown away first, and the status says so while it lasts. Everything runs on the thread that
// owns the connection, and every wait on its clock; the serial port waits on a thread of its own.
class Connection : public QObject {
    Q_OBJECT

public:
    // The line is polled this often from the moment a port opens until an operation sets its own
    // rate: as often as a window timer allows, so that the first reply is taken at once.
    static constexpr int StartPollIntervalMs = 2;
    static constexpr const char* PortUnavailableText = "The COMM port is occupied or doesn't exit!";
    static constexpr const char* WaitingText = "Waiting for the device to stop sending";

    // On the line given: the serial port, or a test's.
    Connection(Clock& clock, std::unique_ptr<Line> deviceLine, QObject* parent = nullptr);

    // Closes whatever was open, then opens the port named as the port list shows it for the
    // device: at its rate, its pages and waits serving the operations from now on. Polling runs
    // exactly when the port opened; a failure is told by status.
    bool open(const QString& portName, const DeviceProfile& device);
    // The same without waiting for the port: opened tells how it went (a failure also by
    // status), unless the connection was opened or closed again meanwhile.
    void openInBackground(const QString& portName, const DeviceProfile& device);
    // What was written leaves, the port is released and polling stops.
    void close();
    // The port is released at once, whatever is still to leave (the run was stopped).
    void abandon();
    bool isOpen() const { return line->isOpen(); }
    // The device the port was last opened for (the default one before the first open).
    const DeviceProfile& device() const { return openedFor; }
    // The port itself, for what it tells besides the bytes (its modem-status inputs).
    Line& port() { return *line; }
    // What every wait on this connection counts.
    Clock& clock() { return time; }
    // A step that waits for its time belongs to the connection it was planned on: it runs only if
    // the connection has been neither closed nor reopened meanwhile.
    std::function<void()> onThisConnection(std::function<void()> step) const { return current.guard(std::move(step)); }

    // From now on the bytes on this connection go to `exchange`; its command goes once the
    // line is quiet, and then `sent` runs. A close or a reopen ends the exchange.
    void start(Exchange& exchange, const QByteArray& command, std::function<void()> sent);
    int write(const QByteArray& bytes);
    // Polls every intervalMs from now on (the poll loop resumes if it rested).
    void pollEvery(int intervalMs);
    // Polls at once: page data keep coming faster than the ticks.
    void pollNow() { line->poll(); }
    // What the line has received so far reaches the exchange, and then `then` runs: a device
    // that goes away right after its last reply has still given it. It runs later, never
    // within this call, also when the port is closed or reopened meanwhile.
    void takeReceived(std::function<void()> then);

signals:
    void opened(bool ok);
    void status(const QString& text);
    // Any bytes came from the device.
    void received();
    // This connection was closed or reopened: nothing more comes on it.
    void ended();
    // The port went away while open: nothing more comes but what it had received.
    void lost();

private:
    // Polling runs exactly when the port opened; a failure is told by status. Whether it opened.
    bool started(bool opened);
    void take(const QByteArray& chunk);
    void onQuiet();
    void end();
    void endTaking();
    void endTakingLater();

    Clock& time;
    std::unique_ptr<Line> line;
    DeviceProfile openedFor = DefaultDevice;
    Attempt current;
    PollLoop* pollLoop;
    Exchange* exchange = nullptr;
    // The command of the exchange starting, until the line is quiet; then what follows it.
    QByteArray pendingCommand;
    std::function<void()> afterCommand;
    std::function<void()> afterReceived;
};

}  // namespace iap
