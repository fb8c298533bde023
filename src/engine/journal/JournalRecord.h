#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

#include "journal/UniqueNumbers.h"

namespace iap {

// One operation of a run, as it went to or came from the device.
struct JournalStep {
    QString kind;  // "flash write", "download" or "read"
    // The image's file name; a read: the file written.
    QString file;
    std::int64_t sizeBytes = 0;
    // Of the bytes sent (the image as it was taken), or of the bytes read.
    QString sha256;
    // Pages the device acknowledged or sent.
    int pages = 0;
    // The sum the device reported, when it reported one.
    std::optional<std::uint32_t> deviceSum;
    // The text that ended the step: "Write Checksum right", "no reply for 5 s while …".
    QString verdict;
    // How the image file held its bytes: "bin", "flash", "ihex", "srec" or "elf"; empty for a read.
    QString format;
    // The first to the last byte sent, "08004000-08007FFF"; empty for a read.
    QString addressRange;
    // From the step's start to the first page (the device erasing, or a flash write's wait), and
    // to its end.
    std::int64_t eraseMs = 0;
    std::int64_t durationMs = 0;

    friend bool operator==(const JournalStep&, const JournalStep&) = default;
};

// One run on one port: a command of iap-cli, or one round of a station's socket. Written whole
// or not at all.
struct JournalRecord {
    QDateTime started;  // UTC
    QDateTime ended;    // UTC
    QString host;
    // download, write, read, program or station.
    QString command;
    // The station's name of the socket; empty for iap-cli's own commands.
    QString socket;
    // The port's name, its device path, its /dev/serial/by-path link.
    QString port;
    QString path;
    QString byPath;
    // "0403:6001" (lower-case hexadecimal) and the adapter's serial number, where known.
    QString usbId;
    QString serial;
    QString model;  // HX300 or VR200
    // Eight hexadecimal digits; empty when the run had no address.
    QString address;
    std::vector<JournalStep> steps;
    // The bootloader's version text, when it announced one.
    QString bootloaderVersion;
    bool pass = false;
    // The text that ended the run.
    QString result;
    // Why it ended as it did: "right", "checksum error", "verify error", "input error", "no
    // device", "port lost", "board removed", "stopped".
    QString category;
    std::int64_t durationMs = 0;
    // The first serial value written into the board's unique page; empty without one.
    QString boardSerial;
    // What the unique page held, field by field in the page's order.
    std::vector<WrittenValue> uniqueValues;
    // The code scanned for the board.
    QString barcode;
    // The station's job file by its name, and the SHA-256 of its bytes (hexadecimal).
    QString job;
    QString jobSha256;
    // The record's own name, unique everywhere: how a receiver of the record knows it again.
    QString uuid;
    // The run's time by phase, over all its steps: the device erasing (or waiting) before the
    // first page, the pages, the read-back of a verify.
    std::int64_t eraseMs = 0;
    std::int64_t pagesMs = 0;
    std::int64_t verifyMs = 0;
    // The image the run loaded, as reports group runs: its file and the first digits of its
    // SHA-256, of the last download, else of the last flash write; empty when there was none.
    QString image;

    // Field by field; times compare as instants.
    friend bool operator==(const JournalRecord&, const JournalRecord&) = default;
};

}  // namespace iap
