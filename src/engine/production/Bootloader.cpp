#include "production/Bootloader.h"

namespace iap {

Bootloader::Bootloader(Clock& clock, QObject* parent)
    : QObject(parent),
      link(this),
      applicationDownload(link, recognition, this),
      imageWrite(link, recognition, clock, this),
      readBack(link, this)
{
}

void Bootloader::setReplyTimeout(int seconds)
{
    for (DeviceOperation* operation : std::initializer_list<DeviceOperation*>{&applicationDownload, &imageWrite, &readBack})
        operation->setReplyTimeout(seconds);
}

}  // namespace iap
