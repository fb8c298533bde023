#include "journal/JournalFields.h"

#include <algorithm>
#include <array>

namespace iap {

std::span<const JournalField> journalFields()
{
    using R = JournalRecord;
    static const std::array<JournalField, 28> fields{{
        {"started", "started", &R::started},
        {"ended", "ended", &R::ended},
        {"host", "host", &R::host},
        {"command", "command", &R::command},
        {"socket", "socket", &R::socket},
        {"port", "port", &R::port},
        {"path", "path", &R::path},
        {"by_path", "byPath", &R::byPath},
        {"usb_id", "usbId", &R::usbId},
        {"serial", "serial", &R::serial},
        {"model", "model", &R::model},
        {"address", "address", &R::address},
        {"steps", "steps", &R::steps},
        {"bootloader_version", "bootloaderVersion", &R::bootloaderVersion},
        {"pass", "pass", &R::pass},
        {"result", "result", &R::result},
        {"category", "category", &R::category},
        {"duration_ms", "durationMs", &R::durationMs},
        {"board_serial", "boardSerial", &R::boardSerial, 2},
        {"unique_values", "uniqueValues", &R::uniqueValues, 2},
        {"barcode", "barcode", &R::barcode, 2},
        {"job", "job", &R::job, 2},
        {"job_sha256", "jobSha256", &R::jobSha256, 2},
        {"uuid", "uuid", &R::uuid, RecordUuidSinceVersion},
        {"erase_ms", "eraseMs", &R::eraseMs, RecordUuidSinceVersion},
        {"pages_ms", "pagesMs", &R::pagesMs, RecordUuidSinceVersion},
        {"verify_ms", "verifyMs", &R::verifyMs, RecordUuidSinceVersion},
        {"image", "image", &R::image, RecordImageSinceVersion},
    }};
    return fields;
}

int journalSchemaVersion()
{
    // The tables and views beside the records come with versions of their own.
    int newest = std::max({UniqueTablesSinceVersion, JournalViewsSinceVersion, OutboxSinceVersion, JournalTimeSinceVersion});
    for (const JournalField& field : journalFields())
        newest = std::max(newest, field.sinceVersion);
    return newest;
}

}  // namespace iap
