#pragma once

#include <QUrl>

namespace iap {

// Opens a file or a web address in the desktop's own program for it (a page in the browser).
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    // False when no program would open it.
    virtual bool open(const QUrl& url) = 0;
};

}  // namespace iap
