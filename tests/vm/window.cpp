// The classic window in the guest, offscreen, on the system's ports, driven as a person drives
// it: it preselects the USB adapter, the model is chosen by its option, the address typed into
// its boxes, files answered by its dialog, and the operation starts with a click.
//   window download HX300|VR200 APP.bin   downloads to 08004000
//   window read PAGES OUT.bin             reads from 08004000 (the button shown by F2)
// Prints the port chosen, every status the window shows and the milliseconds from the click that
// started the operation to its end ("ms: N"); exit status 0 once it shows the operation's
// "Checksum right", 1 when it does not within the bound, 2 for bad arguments.
#include "Tool.h"
#include "Wait.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTest>

#include <cstdio>

using namespace iap::test;

namespace {

constexpr int OperationMs = 600000;

// A click where a person clicks: the button's middle, which must show the button itself.
bool click(Tool& tool, const QString& name)
{
    QPushButton* button = tool.button(name);
    const QPoint middle = button->rect().center();
    QWidget* hit = tool.window().childAt(button->mapTo(&tool.window(), middle));
    if (hit != button && !button->isAncestorOf(hit))
        return false;
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, middle);
    return true;
}

bool chooseModel(Tool& tool, const QString& model)
{
    const QString option = model == QLatin1String("VR200") ? QStringLiteral("Option1(1)") : QStringLiteral("波特率(0)");
    auto* button = tool.control<QRadioButton>(option);
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(button->height() / 2, button->height() / 2));
    return button->isChecked();
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    const bool download = arguments.value(0) == QLatin1String("download") && arguments.size() == 3;
    const bool read = arguments.value(0) == QLatin1String("read") && arguments.size() == 3 && arguments[1].toInt() > 0;
    if (!download && !read) {
        std::fprintf(stderr, "usage: %s download HX300|VR200 APP.bin | read PAGES OUT.bin\n", argv[0]);
        return 2;
    }
    Tool tool;
    tool.window().show();
    std::printf("port: %s\n", qPrintable(tool.control<QComboBox>(QStringLiteral("COMID"))->currentText()));
    for (int i = 0; i < 4; ++i)
        tool.type(QStringLiteral("目标地址(%1)").arg(i), QStringList{"08", "00", "40", "00"}[i]);
    tool.desktop.fileDialog->answers << arguments[2];
    bool ready = true;
    if (download) {
        ready = chooseModel(tool, arguments[1]) && click(tool, QStringLiteral("cmdLoad"));
    } else {
        QTest::keyClick(tool.box(QStringLiteral("当前包")), Qt::Key_F2);
        tool.type(QStringLiteral("读包数"), arguments[1]);
    }
    QElapsedTimer clock;
    clock.start();
    const bool started = ready && click(tool, download ? QStringLiteral("开始下载") : QStringLiteral("读Flash"));
    const QString right = download ? QStringLiteral("IAP Checksum right") : QStringLiteral("Read Checksum right");
    const bool ended = started && waitUntil([&] { return tool.status() == right; }, OperationMs);
    const qint64 ms = clock.elapsed();
    for (const QString& status : tool.statusLog())
        std::printf("status: %s\n", qPrintable(status));
    std::printf("ms: %lld\n", static_cast<long long>(ms));
    return ended ? 0 : 1;
}
