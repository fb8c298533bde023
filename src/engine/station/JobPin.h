#pragma once

#include <QString>

#include <optional>

namespace iap {

// Pins a job file to its images as they are now: the SHA-256 of each image it names, taken as a
// round takes it, goes into the file's "sha256", every other key kept as it was, and the file is
// replaced whole. What was pinned ("line3.json: pinned slot0 boot.flash 3f2a…, application
// app.bin 9c1d…"), or nothing and why not, the file unchanged.
std::optional<QString> pinStationJob(const QString& path, QString& error);

}  // namespace iap
