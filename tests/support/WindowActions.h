#pragma once

#include <QMetaObject>
#include <QStringList>

class QLineEdit;
class QWidget;

namespace iap {
class 主窗口;
}

namespace iap::test {

// What a test does to the window as a person would, and what it reads back of it.

// The four address boxes set to the bytes of the address, two digits each.
void setAddress(主窗口& w, quint32 address);
void setBoxes(主窗口& w, const QStringList& texts);
QStringList boxTexts(主窗口& w);
bool boxesEnabled(主窗口& w, bool enabled);
// Clears the box and types the text key by key, through the key filter.
void typeInto(QLineEdit* box, const QString& text);
void typeAddress(主窗口& w, const QStringList& texts);
// The operation buttons that are enabled, by their captions' short names: "Read", "Write0",
// "Write1" and "IAP", in that order, space-separated.
QString enabledOperations(主窗口& w);

// Every text a box takes, in order, as the user would have seen it change.
class TextLog {
public:
    explicit TextLog(QLineEdit* box);
    // The status box.
    explicit TextLog(主窗口& w);
    ~TextLog();
    TextLog(const TextLog&) = delete;
    TextLog& operator=(const TextLog&) = delete;

    QStringList texts;

private:
    QMetaObject::Connection connection;
};

}  // namespace iap::test
