#include "session/Session.h"

#include <QTimer>

#include <algorithm>
#include <utility>

#include "session/TimerControl.h"

namespace iap {

Session::Session(std::unique_ptr<PortDevice> device, Clock& clock, QObject* parent)
    : QObject(parent),
      serial(std::move(device)),
      Timer1(new QTimer(this)),
      Timer2(new QTimer(this)),
      clock(clock),
      ReadBackStore(std::size_t(PageBytes) * ReadBackPages, 0)
{
    EndPage = [this] { return shownEndPage; };
    CurrentPage = [this] { return shownCurrentPage; };
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(DispatcherStartIntervalMs);
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(PageSenderIntervalMs);
    Timer2->setTimerType(Qt::PreciseTimer);
    Enable(Timer1);
    connect(Timer1, &QTimer::timeout, this, &Session::Tick);
    connect(Timer2, &QTimer::timeout, this, &Session::SendPage);
    connect(&serial, &SerialPort::Polled, this, &Session::Handle);
    connect(&serial, &SerialPort::Quiet, this, &Session::OnQuiet);
    connect(&serial, &SerialPort::Discarding, this, [this] { emit Status(QStringLiteral("Waiting for the device to stop sending")); });
}

Session::~Session() = default;

bool Session::Open(const QString& portName, const QString& settings)
{
    Forget();
    serial.ClosePort();
    if (!serial.OpenPort(portName + u':', settings)) {
        Disable(Timer1);
        return false;
    }
    Enable(Timer1);
    return true;
}

void Session::Close()
{
    Forget();
    serial.FlushPort();
    serial.ClosePort();
    Disable(Timer1);
}

void Session::ShowEndPage(std::int64_t page)
{
    shownEndPage = page;
    emit EndPageShown(QString::number(page));
}

void Session::ShowCurrentPage(const QString& text)
{
    shownCurrentPage = text.toLongLong();
    emit CurrentPageShown(text);
}

void Session::Forget()
{
    restingForPoll = false;
    pendingCommand.reset();
    RunningOperation.reset();
    SendNextPage = false;
    Disable(Timer2);
}

void Session::ResumeTicks()
{
    // The next poll is counted from here, so that a page armed just now leaves before it.
    if (std::exchange(restingForPoll, false) || Timer1->isActive())
        Timer1->start();
}

void Session::SendWhenQuiet(const CommandFrame& frame, std::function<void()> sent)
{
    pendingCommand = PendingCommand{frame, std::move(sent)};
    emit Awaits(Awaiting::Quiet, 0);
    serial.AwaitQuiet(LineQuietMs);
}

void Session::OnQuiet()
{
    if (auto command = std::exchange(pendingCommand, std::nullopt)) {
        SendCommand(command->frame);
        command->sent();
    }
    ResumeTicks();
}

void Session::SendCommand(const CommandFrame& frame)
{
    std::copy(frame.begin(), frame.end(), serial.TransferBuffer.begin());
    serial.LastByteIndex = CommandFrameBytes - 1;
    serial.WritePort();
}

}  // namespace iap
