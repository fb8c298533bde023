#pragma once

#include <QString>

namespace iap {

class 主窗口;

// "Open APP File": chooses the application image.
void cmdLoadClick(主窗口& w);

// Measures the image file, sets ImageFilePath, ImageFileLength and LastPageIndex and reads page
// PageIndex. False when the file cannot be measured or its page cannot be read.
bool LoadImageFile(主窗口& w, const QString& path);

// Reads page PageIndex of ImageFilePath into PageBuffer. The bytes beyond the end of the file
// are 0xFF, as in erased flash. On failure PageBuffer keeps what it held and the result is false.
bool ReadPage(主窗口& w);

}  // namespace iap
