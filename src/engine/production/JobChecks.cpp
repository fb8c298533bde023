#include "production/JobChecks.h"

#include "protocol/HexNumber.h"

namespace iap {
namespace {

// The pages from the first data page to the last go to the address: they must hold data and end
// within the device's address space.
QString checkPages(const TransferPlan& plan)
{
    const QString& path = plan.image().path();
    if (plan.image().size() == 0)
        return QStringLiteral("%1 is empty").arg(path);
    if (plan.hasHeaderPage() && plan.image().size() <= plan.pageBytes())
        return QStringLiteral("%1 is a header page with no data after it").arg(path);
    if (addressValue(plan.address()) + (plan.endPage() + 1) * plan.pageBytes() > AddressSpaceBytes)
        return QStringLiteral("%1 at the address given reaches beyond the 4 GiB a device can address").arg(path);
    return {};
}

QString differingAddress(const TransferPlan& plan, const Address& given)
{
    if (plan.hasHeaderPage())
        return QStringLiteral("the address given differs from the address in the header page of %1").arg(plan.image().path());
    return QStringLiteral("the address given, %1, differs from %2, where the data of %3 go (the start of the page of its first byte)")
        .arg(addressText(given), addressText(*plan.ownAddress()), plan.image().path());
}

QString missingAddress(const ImageSnapshot& image, OperationKind kind)
{
    if (kind == OperationKind::Download)
        return QStringLiteral("the application needs an address");
    return QStringLiteral("%1 has no header page: it needs an address").arg(image.path());
}

// A transfer planned, or why it cannot be.
struct CheckedTransfer {
    std::optional<TransferPlan> plan;
    QString refusal;
};

// Plans the image's transfer to the address given or to its own; it needs one of them.
CheckedTransfer planTransfer(const ImageSnapshot& image, OperationKind kind, const std::optional<Address>& given, ImageRules rules)
{
    TransferPlan plan(image, kind, given.value_or(Address{}));
    if (!plan.ownAddress() && !given)
        return {std::nullopt, missingAddress(image, kind)};
    if (rules.givenMustAgree && plan.ownAddress() && given && *plan.ownAddress() != *given)
        return {std::nullopt, differingAddress(plan, *given)};
    if (rules.pagesChecked)
        if (QString refusal = checkPages(plan); !refusal.isEmpty())
            return {std::nullopt, refusal};
    return {std::move(plan), {}};
}

}  // namespace

QString takeImage(ImageSnapshot& image, const QString& path, int pageBytes)
{
    if (path.isEmpty())
        return {};
    image = ImageSnapshot::take(path, pageBytes);
    switch (image.failure()) {
    case ImageSnapshot::Failure::None:
        return {};
    case ImageSnapshot::Failure::BeyondAddressSpace:
        return QStringLiteral("%1 is larger than the 4 GiB a device can address").arg(path);
    case ImageSnapshot::Failure::Malformed:
        return image.malformedText();
    case ImageSnapshot::Failure::Unreadable:
        break;
    }
    return image.unreadableText();
}

QString takeImages(const JobRequest& request, JobImages& images)
{
    for (const auto& [image, path] : {std::pair{&images.image, request.image}, {&images.slot0, request.slot0}, {&images.slot1, request.slot1},
                                      {&images.application, request.application}})
        if (const QString error = takeImage(*image, path, request.model.pageBytes); !error.isEmpty())
            return error;
    return {};
}

QString prepareJob(const JobRequest& request, Job& job)
{
    job = {};
    job.kind = request.kind;
    job.model = request.model;
    job.pages = request.pages;
    job.verify = request.verify;
    job.barcodeRequired = request.needsBarcodes();
    job.repeatBarcodes = request.repeatBarcodes;
    job.replyTimeoutSeconds = request.replyTimeoutSeconds;
    job.jobFile = request.file;
    job.jobSha256 = request.fileSha256;
    if (!request.address.isEmpty()) {
        job.address = parseAddress(request.address);
        if (!job.address)
            return QStringLiteral("the address %1 is not eight hexadecimal digits").arg(request.address);
    }
    if (request.kind == Job::Kind::Round && request.slot0.isEmpty() && request.slot1.isEmpty() && request.application.isEmpty())
        return QStringLiteral("the job needs a slot 0 or slot 1 image or an application");
    JobImages images;
    if (const QString error = takeImages(request, images); !error.isEmpty())
        return error;
    if (request.pins)
        if (const QString refusal = checkPinnedImages(*request.pins, {&images.slot0, &images.slot1, &images.application}); !refusal.isEmpty())
            return refusal;
    switch (request.kind) {
    case Job::Kind::Download:
        return planSingleTransfer(job, images.image, OperationKind::Download, SingleTransferRules);
    case Job::Kind::FlashWrite:
        return planSingleTransfer(job, images.image, OperationKind::FlashWrite, SingleTransferRules);
    case Job::Kind::FlashRead:
        return {};
    case Job::Kind::Round:
        break;
    }
    if (const QString error = planRound(job, images.slot0, images.slot1, images.application); !error.isEmpty() || !request.unique)
        return error;
    return planUniquePage(job, *request.unique);
}

QString planSingleTransfer(Job& job, const ImageSnapshot& image, OperationKind kind, ImageRules rules)
{
    job.kind = kind == OperationKind::Download ? Job::Kind::Download : Job::Kind::FlashWrite;
    CheckedTransfer checked = planTransfer(image, kind, job.address, rules);
    job.transfer = std::move(checked.plan);
    return checked.refusal;
}

QString planRound(Job& job, const ImageSnapshot& slot0, const ImageSnapshot& slot1, const ImageSnapshot& application)
{
    const std::initializer_list<std::tuple<std::optional<TransferPlan>*, const ImageSnapshot*, OperationKind>> steps{
        {&job.slot0, &slot0, OperationKind::FlashWrite},
        {&job.slot1, &slot1, OperationKind::FlashWrite},
        {&job.application, &application, OperationKind::Download}};
    for (const auto& [step, image, kind] : steps) {
        step->reset();
        if (!image->isValid())
            continue;
        CheckedTransfer checked = planTransfer(*image, kind, job.address, RoundRules);
        if (!checked.plan)
            return checked.refusal;
        *step = std::move(checked.plan);
    }
    return {};
}

QString planUniquePage(Job& job, const UniquePage& page)
{
    if (page.pageBytes() != job.model.pageBytes)
        return QStringLiteral("the unique page is laid out in a page of %1 bytes, but the %2's pages are %3 bytes")
            .arg(page.pageBytes())
            .arg(job.model.name)
            .arg(job.model.pageBytes);
    const std::int64_t start = addressValue(page.address());
    for (const auto& [step, name] : {std::pair{&job.slot0, "slot 0"}, {&job.slot1, "slot 1"}, {&job.application, "the application"}}) {
        if (!*step)
            continue;
        const std::int64_t first = addressValue((*step)->address());
        const std::int64_t end = first + ((*step)->endPage() + 1) * (*step)->pageBytes();
        if (start < end && first < start + page.pageBytes())
            return QStringLiteral("the unique page at %1 lies within %2 (%3): it needs a page of its own")
                .arg(addressText(page.address()), QLatin1String(name), (*step)->addressRange());
    }
    job.unique = page;
    return {};
}

}  // namespace iap
