#pragma once

#include <QString>

#include <optional>

#include "production/ImagePins.h"
#include "production/Job.h"
#include "device/DeviceProfiles.h"
#include "unique/UniquePage.h"

namespace iap {

// A job as it is asked for, from the command line's options, a job file or the station's boxes:
// the files by path and the address as given. The job checks make a Job of it (prepareJob), which
// takes the images once.
struct JobRequest {
    Job::Kind kind = Job::Kind::Round;
    DeviceProfile model = DefaultDevice;
    // Eight hexadecimal digits; an image that names its own address wins over it in a round.
    QString address;
    // A single download's or flash write's image.
    QString image;
    // The round's images: slot 0, slot 1, the application.
    QString slot0;
    QString slot1;
    QString application;
    // A read's pages.
    int pages = 0;
    // The round's last step: a page of values of each board's own.
    std::optional<UniquePage> unique;
    // Each step is read back and compared after the device's sum agreed.
    bool verify = false;
    // Each board needs the code scanned for it before its round starts (so does a unique page
    // that carries it); a code a board passed with is refused for another board unless repeats
    // are allowed.
    bool barcodeRequired = false;
    bool repeatBarcodes = false;
    // A board that makes no progress for this long fails its run (iap-cli's --timeout; a job file
    // does not keep it).
    int replyTimeoutSeconds = Job::DefaultReplyTimeoutSeconds;
    // A pinned job ("sha256" in its file) runs only the images it was released with.
    std::optional<ImagePins> pins;
    // The job file it was loaded from, as named, and the SHA-256 of the file's bytes (the file
    // does not keep them); empty for a job that came from no file.
    QString file;
    QString fileSha256;

    // Whether each board needs its code scanned: the job asks for one, or its unique page carries it.
    bool needsBarcodes() const { return barcodeRequired || (unique && unique->needsBarcode()); }

    bool operator==(const JobRequest&) const = default;
};

}  // namespace iap
