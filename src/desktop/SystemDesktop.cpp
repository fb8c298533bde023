#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>

#include "Desktop.h"

namespace iap {
namespace {

class QtFileDialog final : public FileDialog {
public:
    QString showOpen(QWidget* parent, const QString& filter) override
    {
        return QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
    }
    // QFileDialog asks before it replaces an existing file.
    QString showSave(QWidget* parent, const QString& filter) override
    {
        return QFileDialog::getSaveFileName(parent, QString(), QString(), filter);
    }
};

class QtMessageBox final : public MessageBox {
public:
    void show(QWidget* parent, const QString& text, const QString& title, Icon icon) override
    {
        QMessageBox box(icon == Icon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
        box.exec();
    }
};

class QtUrlOpener final : public UrlOpener {
public:
    bool open(const QUrl& url) override { return QDesktopServices::openUrl(url); }
};

}  // namespace

Desktop makeSystemDesktop()
{
    return {std::make_unique<QtFileDialog>(), std::make_unique<QtMessageBox>(), std::make_unique<QtUrlOpener>()};
}

}  // namespace iap
