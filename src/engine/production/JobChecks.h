#pragma once

#include <QString>

#include <optional>

#include "production/Job.h"
#include "production/JobRequest.h"
#include "protocol/Page.h"
#include "image/ImageSnapshot.h"
#include "session/TransferPlan.h"

namespace iap {

// The checks that make a job: each image is taken and planned before anything is sent, and a job
// that would send a device what it cannot take is refused as a whole. Each says why, or nothing
// when all is well.

// How strictly an image is checked before it is sent.
struct ImageRules {
    // An address given beside a file that names its own must be that one; otherwise the file's wins.
    bool givenMustAgree = false;
    // An image whose pages a device cannot take (none, a header page alone, pages beyond 4 GiB)
    // is refused.
    bool pagesChecked = true;
};
// A single download or flash write on the command line.
inline constexpr ImageRules SingleTransferRules{true, true};
// A production round: a file's own address serves it, the round's the images without one.
inline constexpr ImageRules RoundRules{false, true};

// Takes the file for a device with pages of pageBytes (an empty path takes nothing).
QString takeImage(ImageSnapshot& image, const QString& path, int pageBytes);
// The images a request names, each taken in this order (a path not given takes nothing).
struct JobImages {
    ImageSnapshot image;
    ImageSnapshot slot0;
    ImageSnapshot slot1;
    ImageSnapshot application;
};
QString takeImages(const JobRequest& request, JobImages& images);
// The request made into `job`, for every front end: its images taken once (every port and every
// board is sent these bytes), a pinned job's checked against its pins, and planned by the rules of
// its kind (a single download or flash write, a read, or a production round with its unique page).
QString prepareJob(const JobRequest& request, Job& job);
// A single download or flash write of the image into the job, to the job's address or the
// image's own; it needs one of them.
QString planSingleTransfer(Job& job, const ImageSnapshot& image, OperationKind kind, ImageRules rules);
// The round's steps into the job, to its address: an image not taken is a step passed over.
QString planRound(Job& job, const ImageSnapshot& slot0, const ImageSnapshot& slot1, const ImageSnapshot& application);
// The round's unique page into the job: a page of its own, of the job's device, which no image of
// the round writes.
QString planUniquePage(Job& job, const UniquePage& page);

}  // namespace iap
