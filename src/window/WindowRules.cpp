#include "WindowRules.h"

#include <QLineEdit>

#include "BoxNumber.h"
#include "Controls.h"

namespace iap {

bool WindowRules::endPageReached(std::int64_t, std::int64_t) const
{
    return boxNumber(controls.endPageBox->text()) <= boxNumber(controls.currentPageBox->text());
}

QString WindowRules::allPagesSentText(OperationKind, bool versionSeen) const
{
    return versionSeen ? QStringLiteral("Write Flash Successfully") : QStringLiteral("IAP\u3000Successfully");
}

}  // namespace iap
