#include "journal/JournalFields.h"

#include <algorithm>
#include <array>

namespace iap {

std::span<const JournalField> journalFields()
{
    using R = JournalRecord;
    static const std::array<JournalField, 18> fields{{
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
    }};
    return fields;
}

int journalSchemaVersion()
{
    int newest = 1;
    for (const JournalField& field : journalFields())
        newest = std::max(newest, field.sinceVersion);
    return newest;
}

}  // namespace iap
