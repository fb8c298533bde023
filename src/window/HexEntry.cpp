#include "window/HexEntry.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "window/MainWindow.h"

namespace iap {
namespace {

constexpr std::int16_t Backspace = 8;

bool isDecimal(std::int16_t key) { return key >= '0' && key <= '9'; }
bool isHex(std::int16_t key) { return isDecimal(key) || (key >= 'A' && key <= 'F') || (key >= 'a' && key <= 'f'); }

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

// Keys that move the focus or the cursor, or delete, rather than type a character. The platform
// attaches text to some of them (Tab "\t", Delete "\x7f"), but they must work as in any text box.
bool isNavigationOrEditing(int key)
{
    switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return true;
    default:
        return false;
    }
}

class KeyPressFilter final : public QObject {
public:
    KeyPressFilter(QObject* parent, std::uint8_t mode) : QObject(parent), mode(mode) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const auto* keyEvent = static_cast<QKeyEvent*>(event);
        const QString text = keyEvent->text();
        if (text.isEmpty() || isNavigationOrEditing(keyEvent->key()))
            return false;
        for (QChar c : text) {
            std::int16_t key = c.unicode() > 0x7FFF ? 0 : std::int16_t(c.unicode());
            FilterKey(key, mode);
            if (key == 0)
                return true;
        }
        return false;
    }

private:
    std::uint8_t mode;
};

}  // namespace

void FilterKey(std::int16_t& key, std::uint8_t mode)
{
    if (mode == 1 && isDecimal(key))
        return;
    if (mode == 2 && isHex(key))
        return;
    if (mode == 3 && (key == '.' || isDecimal(key)))
        return;
    if (key != Backspace)
        key = 0;
}

void InstallKeyFilter(QLineEdit* box, std::uint8_t mode)
{
    box->installEventFilter(new KeyPressFilter(box, mode));
}

std::uint8_t AddressByte(const QString& text)
{
    int value = 0;
    for (QChar c : text) {
        const int digit = hexDigit(c);
        if (digit < 0)
            break;
        value = value * 16 + digit;
        if (value > 0xFF)
            return 0xFF;
    }
    return std::uint8_t(value);
}

bool ExceedsByte(const QString& text)
{
    int value = 0;
    for (QChar c : text) {
        const int digit = hexDigit(c);
        if (digit < 0)
            return false;
        value = value * 16 + digit;
        if (value > 0xFF)
            return true;
    }
    return false;
}

void 目标地址Change(主窗口& w, int index)
{
    QLineEdit* box = w.目标地址[std::size_t(index)];
    if (ExceedsByte(box->text()))
        box->setText(QStringLiteral("FF"));
}

std::array<std::uint8_t, 4> TargetAddress(const 主窗口& w)
{
    std::array<std::uint8_t, 4> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = AddressByte(w.目标地址[i]->text());
    return bytes;
}

}  // namespace iap
