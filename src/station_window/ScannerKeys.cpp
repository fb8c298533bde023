#include "ScannerKeys.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <algorithm>

namespace iap {

ScannerKeys::ScannerKeys(QWidget& watchedWindow) : QObject(&watchedWindow), window(watchedWindow)
{
    // The keys go to the focused control first: a button, a list or a box would take them.
    qApp->installEventFilter(this);
}

void ScannerKeys::setListening(bool listen)
{
    listening = listen;
    gathered.clear();
}

bool ScannerKeys::typedIntoTextField(QObject* watched) const
{
    QWidget* target = QApplication::focusWidget();
    if (!target || target->window() != &window)
        target = qobject_cast<QWidget*>(watched);
    // A field that cannot be changed is no field to type into (operator mode's job).
    if (const auto* line = qobject_cast<QLineEdit*>(target))
        return !line->isReadOnly();
    if (const auto* spin = qobject_cast<QAbstractSpinBox*>(target))
        return !spin->isReadOnly();
    if (const auto* box = qobject_cast<QComboBox*>(target))
        return box->isEditable();
    if (const auto* text = qobject_cast<QTextEdit*>(target))
        return !text->isReadOnly();
    if (const auto* plain = qobject_cast<QPlainTextEdit*>(target))
        return !plain->isReadOnly();
    return false;
}

bool ScannerKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (!listening || event->type() != QEvent::KeyPress)
        return false;
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != &window || typedIntoTextField(watched))
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!gathered.isEmpty())
            emit scanned(std::exchange(gathered, QString()));
        return true;
    case Qt::Key_Escape:
        gathered.clear();
        return true;
    default:
        break;
    }
    const QString text = key->text();
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier) || text.isEmpty()
        || !std::all_of(text.begin(), text.end(), [](QChar c) { return c.isPrint(); }))
        return false;
    gathered += text;
    return true;
}

}  // namespace iap
