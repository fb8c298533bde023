#include "WindowSnapshot.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>

#include <algorithm>

#include "window/MainWindow.h"

namespace iap::test {
namespace {

QString flag(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

QString contentOf(QWidget* widget)
{
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text() + QStringLiteral(" checked=") + flag(button->isChecked());
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return edit->text();
    if (auto* edit = qobject_cast<QPlainTextEdit*>(widget))
        return edit->toPlainText();
    if (auto* group = qobject_cast<QGroupBox*>(widget))
        return group->title();
    if (auto* list = qobject_cast<QComboBox*>(widget)) {
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->itemText(i);
        return items.join(u'|') + QStringLiteral(" current=") + QString::number(list->currentIndex());
    }
    return {};
}

QString rect(const QRect& r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

}  // namespace

QStringList WindowSnapshot(主窗口& w)
{
    QStringList lines;
    QList<QWidget*> controls = w.findChildren<QWidget*>();
    controls.erase(std::remove_if(controls.begin(), controls.end(),
                                  [](QWidget* c) { return c->objectName().isEmpty() || c->objectName().startsWith(u"qt_"); }),
                   controls.end());
    std::sort(controls.begin(), controls.end(), [](QWidget* a, QWidget* b) { return a->objectName() < b->objectName(); });
    for (QWidget* c : controls) {
        lines << QStringLiteral("%1 %2 enabled=%3 hidden=%4 at=%5 [%6]")
                     .arg(c->objectName(), QString::fromLatin1(c->metaObject()->className()), flag(c->isEnabled()),
                          flag(c->isHidden()), rect(c->geometry()), contentOf(c));
    }
    lines << QStringLiteral("title=") + w.windowTitle();
    lines << QStringLiteral("PortOpen=") + flag(w.serial.PortOpen());
    lines << QStringLiteral("PageIndex=%1 LastPageIndex=%2 FirstDataPage=%3").arg(w.PageIndex).arg(w.LastPageIndex).arg(w.FirstDataPage);
    lines << QStringLiteral("RunningChecksum=%1 SendNextPage=%2 VersionShown=%3")
                 .arg(w.RunningChecksum)
                 .arg(flag(w.SendNextPage), flag(w.VersionShown));
    lines << QStringLiteral("AutoStep=%1 ReadInProgress=%2").arg(w.AutoStep).arg(flag(w.ReadInProgress));
    lines << QStringLiteral("FlashImagePath=%1|%2 AppImagePath=%3").arg(w.FlashImagePath[0], w.FlashImagePath[1], w.AppImagePath);
    lines << QStringLiteral("ImageFilePath=%1 ImageFileLength=%2").arg(w.ImageFilePath).arg(w.ImageFileLength);
    return lines;
}

QStringList TimerSnapshot(主窗口& w)
{
    QStringList lines;
    for (QTimer* timer : {w.Timer1, w.Timer2, w.Timer3})
        lines << QStringLiteral("%1 active=%2 interval=%3").arg(timer->objectName(), flag(timer->isActive())).arg(timer->interval());
    return lines;
}

}  // namespace iap::test
