#include "window/Wiring.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <functional>

#include "window/AutoSequence.h"
#include "window/ButtonStates.h"
#include "window/ConnectionControls.h"
#include "window/FileChoice.h"
#include "window/HexEntry.h"
#include "window/MainWindow.h"
#include "window/Operations.h"

namespace iap {
namespace {

class KeyDownFilter final : public QObject {
public:
    KeyDownFilter(QObject* parent, std::function<void(int)> handler) : QObject(parent), handler(std::move(handler)) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress)
            handler(static_cast<QKeyEvent*>(event)->key());
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(int)> handler;
};

}  // namespace

void Wire(主窗口& w)
{
    QObject::connect(w.打开串口, &QPushButton::clicked, &w, [&w] { OpenClick(w); });
    QObject::connect(w.关闭串口, &QPushButton::clicked, &w, [&w] { CloseClick(w); });
    QObject::connect(w.刷新串口, &QPushButton::clicked, &w, [&w] { 刷新串口Click(w); });
    QObject::connect(w.刷新, &QPushButton::clicked, &w, [&w] { 刷新Click(w); });
    QObject::connect(w.波特率, &QRadioButton::toggled, &w, [&w](bool selected) {
        if (selected)
            波特率Click(w);
    });
    QObject::connect(w.Check1, &QCheckBox::toggled, &w, [&w] { Check1Click(w); });

    for (int i = 0; i < 4; ++i) {
        InstallKeyFilter(w.目标地址[std::size_t(i)], HexKeys);
        QObject::connect(w.目标地址[std::size_t(i)], &QLineEdit::textChanged, &w, [&w, i] { 目标地址Change(w, i); });
    }
    InstallKeyFilter(w.读包数, DecimalKeys);
    w.当前包->installEventFilter(new KeyDownFilter(w.当前包, [&w](int key) { 当前包KeyDown(w, key); }));

    QObject::connect(w.cmdLoad, &QPushButton::clicked, &w, [&w] { cmdLoadClick(w); });
    QObject::connect(w.开始下载, &QPushButton::clicked, &w, [&w] { 开始下载Click(w); });
    for (int i = 0; i < 2; ++i) {
        QObject::connect(w.Command1[std::size_t(i)], &QPushButton::clicked, &w, [&w, i] { Command1Click(w, i); });
        QObject::connect(w.写FLASH[std::size_t(i)], &QPushButton::clicked, &w, [&w, i] { 写FLASHClick(w, i); });
    }
    QObject::connect(w.读Flash, &QPushButton::clicked, &w, [&w] { 读FlashClick(w); });
    QObject::connect(w.Timer3, &QTimer::timeout, &w, [&w] { Timer3Tick(w); });

    QObject::connect(&w.session, &Session::AddressFromImage, &w, [&w](const QByteArray& address) { ShowImageAddress(w, address); });
    QObject::connect(&w.session, &Session::Verified, &w, [&w](Session::Operation operation, bool right) { OnVerified(w, operation, right); });
}

}  // namespace iap
