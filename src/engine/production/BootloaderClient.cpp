#include "production/BootloaderClient.h"

#include "serial/SerialPort.h"

namespace iap {

BootloaderClient::BootloaderClient(Clock& clock, QObject* parent) : BootloaderClient(clock, std::make_unique<SerialPort>(), parent) {}

BootloaderClient::BootloaderClient(Clock& clock, std::unique_ptr<Line> line, QObject* parent)
    : QObject(parent),
      link(clock, std::move(line), this),
      applicationDownload(link, recognition, this),
      imageWrite(link, recognition, clock, this),
      readBack(link, this)
{
}

void BootloaderClient::setReplyTimeout(int seconds)
{
    for (DeviceOperation* operation : std::initializer_list<DeviceOperation*>{&applicationDownload, &imageWrite, &readBack})
        operation->setReplyTimeout(seconds);
}

}  // namespace iap
