#include "HexEntry.h"

#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>

#include "protocol/HexNumber.h"

namespace iap {
namespace {

constexpr char16_t Backspace = 8;
constexpr std::uint64_t ByteMax = 0xFF;

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
    KeyPressFilter(QObject* parent, EntryKeys keys) : QObject(parent), keys(keys) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const auto* keyEvent = static_cast<QKeyEvent*>(event);
        const QString text = keyEvent->text();
        if (text.isEmpty() || isNavigationOrEditing(keyEvent->key()))
            return false;
        return !std::all_of(text.begin(), text.end(), [this](QChar c) { return typable(c.unicode(), keys); });
    }

private:
    EntryKeys keys;
};

}  // namespace

bool typable(char16_t key, EntryKeys keys)
{
    if (key == Backspace || (key >= u'0' && key <= u'9'))
        return true;
    return keys == EntryKeys::Hexadecimal && ((key >= u'A' && key <= u'F') || (key >= u'a' && key <= u'f'));
}

void installKeyFilter(QLineEdit* box, EntryKeys keys)
{
    box->installEventFilter(new KeyPressFilter(box, keys));
}

std::uint8_t addressByte(const QString& text)
{
    return std::uint8_t(std::min(LeadingHex(text).value(), ByteMax));
}

bool exceedsByte(const QString& text)
{
    return LeadingHex(text).value() > ByteMax;
}

}  // namespace iap
