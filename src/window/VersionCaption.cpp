#include "VersionCaption.h"

namespace iap {

QString programVersionCaption()
{
    return QStringLiteral("Version:  %1.%2.%3").arg(IAP_VERSION_MAJOR).arg(IAP_VERSION_MINOR).arg(IAP_VERSION_PATCH);
}

}  // namespace iap
