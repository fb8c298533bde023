#pragma once

#include <QMenu>

#include <functional>

namespace iap {

class MessageBox;
class UrlOpener;

// The station's Journal menu. "Yield report…" writes the yield report of the station's journal
// over the last 24 hours, by socket, to an HTML file of its own in the temporary folder and
// opens it in the browser; a journal that cannot be read, or a page that cannot be written or
// opened, is told in a message box.
class JournalMenu : public QMenu {
    Q_OBJECT

public:
    static constexpr int ReportHours = 24;

    // `journal` gives the journal the station writes (empty: the default).
    JournalMenu(std::function<QString()> journal, UrlOpener& opener, MessageBox& messages, QWidget* parent);

private:
    void showYieldReport();

    std::function<QString()> journal;
    UrlOpener& opener;
    MessageBox& messages;
};

}  // namespace iap
