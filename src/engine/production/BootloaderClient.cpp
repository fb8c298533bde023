#include "production/BootloaderClient.h"

namespace iap {

BootloaderClient::BootloaderClient(Clock& clock, QObject* parent)
    : QObject(parent),
      link(this),
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
