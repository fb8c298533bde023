#include "session/TransferPolicy.h"

namespace iap {

const TransferPolicy& TransferPolicy::standard()
{
    static const TransferPolicy rules;
    return rules;
}

QString TransferPolicy::allPagesSentText(OperationKind transfer, bool) const
{
    return transfer == OperationKind::Download ? QStringLiteral("IAP\u3000Successfully") : QStringLiteral("Write Flash Successfully");
}

}  // namespace iap
