#include "production/BootloaderClient.h"

#include "serial/SerialPort.h"

namespace iap {

BootloaderClient::BootloaderClient(Clock& clock, std::unique_ptr<Line> line, const TransferPolicy& policy, QObject* parent)
    : QObject(parent),
      link(clock, line ? std::move(line) : std::make_unique<SerialPort>(), this),
      applicationDownload(link, recognition, policy, this),
      imageWrite(link, recognition, policy, clock, this),
      readBack(link, this)
{
}

void BootloaderClient::setReplyTimeout(int seconds)
{
    for (DeviceOperation* operation : std::initializer_list<DeviceOperation*>{&applicationDownload, &imageWrite, &readBack})
        operation->setReplyTimeout(seconds);
}

}  // namespace iap
