#include "WindowActions.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "window/MainWindow.h"

namespace iap::test {

void setAddress(主窗口& w, quint32 address)
{
    for (int i = 0; i < 4; ++i)
        w.目标地址[std::size_t(i)]->setText(QString::asprintf("%02X", (address >> (24 - 8 * i)) & 0xFF));
}

void setBoxes(主窗口& w, const QStringList& texts)
{
    for (int i = 0; i < 4; ++i)
        w.目标地址[std::size_t(i)]->setText(texts.at(i));
}

QStringList boxTexts(主窗口& w)
{
    QStringList texts;
    for (QLineEdit* box : w.目标地址)
        texts << box->text();
    return texts;
}

bool boxesEnabled(主窗口& w, bool enabled)
{
    return std::all_of(w.目标地址.begin(), w.目标地址.end(), [enabled](QLineEdit* box) { return box->isEnabled() == enabled; });
}

void typeInto(QLineEdit* box, const QString& text)
{
    box->clear();
    QTest::keyClicks(box, text);
}

void typeAddress(主窗口& w, const QStringList& texts)
{
    for (int i = 0; i < 4; ++i)
        typeInto(w.目标地址[std::size_t(i)], texts.at(i));
}

QString enabledOperations(主窗口& w)
{
    QStringList enabled;
    const std::pair<QPushButton*, const char*> buttons[] = {
        {w.读Flash, "Read"}, {w.写FLASH[0], "Write0"}, {w.写FLASH[1], "Write1"}, {w.开始下载, "IAP"}};
    for (const auto& [button, name] : buttons)
        if (button->isEnabled())
            enabled << QString::fromLatin1(name);
    return enabled.join(u' ');
}

TextLog::TextLog(QLineEdit* box)
    : connection(QObject::connect(box, &QLineEdit::textChanged, [this](const QString& text) { texts << text; }))
{
}

TextLog::TextLog(主窗口& w)
    : connection(QObject::connect(w.Label5, &QPlainTextEdit::textChanged, [this, &w] { texts << w.Status(); }))
{
}

TextLog::~TextLog()
{
    QObject::disconnect(connection);
}

}  // namespace iap::test
