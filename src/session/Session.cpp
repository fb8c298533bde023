#include "session/Session.h"

#include <QTimer>

#include <algorithm>

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
}

Session::~Session() = default;

bool Session::Open(const QString& portName, const QString& settings)
{
    restingForPoll = false;
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
    restingForPoll = false;
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

void Session::SendCommand(const CommandFrame& frame)
{
    std::copy(frame.begin(), frame.end(), serial.TransferBuffer.begin());
    serial.LastByteIndex = CommandFrameBytes - 1;
    serial.WritePort();
}

}  // namespace iap
