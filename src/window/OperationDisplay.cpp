#include "OperationDisplay.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "BootloaderLink.h"
#include "Controls.h"

namespace iap {

OperationDisplay::OperationDisplay(const Controls& shown, BootloaderLink& link) : controls(shown)
{
    connect(&link, &BootloaderLink::status, this, &OperationDisplay::setStatus);
    connect(&link, &BootloaderLink::currentPageShown, this, [this](std::int64_t page) { controls.currentPageBox->setText(QString::number(page)); });
    connect(&link, &BootloaderLink::currentPageCleared, this, [this] { controls.currentPageBox->clear(); });
    connect(&link, &BootloaderLink::endPageShown, this, [this](std::int64_t page) { controls.endPageBox->setText(QString::number(page)); });
    connect(&link, &BootloaderLink::checksumShown, this, [this](const QString& sum) { controls.checksumBox->setText(sum); });
    connect(&link, &BootloaderLink::versionShown, this, [this](const QString& caption) { controls.bootloaderVersionLabel->setText(caption); });
}

void OperationDisplay::setStatus(const QString& text)
{
    controls.statusBox->setPlainText(text);
}

void OperationDisplay::resetTransferBoxes()
{
    controls.checksumBox->setText(QStringLiteral("0"));
    controls.endPageBox->setText(QStringLiteral("0"));
}

void OperationDisplay::resetVersion()
{
    controls.bootloaderVersionLabel->setText(QStringLiteral("IAP Version:"));
}

}  // namespace iap
