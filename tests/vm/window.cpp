// The classic window in the guest, offscreen, on the system's ports: it preselects the USB
// adapter, takes the application through its dialog, the address through its boxes, and the
// download starts with a click on "IAP". Prints every status the window shows; exit status 0 once
// it shows "IAP Checksum right", 1 when it does not within the bound.
#include "Tool.h"
#include "Wait.h"

#include <QApplication>
#include <QComboBox>
#include <QTest>

#include <cstdio>

using namespace iap::test;

namespace {

constexpr int DownloadMs = 120000;

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

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s APP.bin\n", argv[0]);
        return 2;
    }
    Tool tool;
    tool.window().show();
    std::printf("port: %s\n", qPrintable(tool.control<QComboBox>(QStringLiteral("COMID"))->currentText()));
    tool.desktop.fileDialog->answers << QString::fromLocal8Bit(argv[1]);
    for (int i = 0; i < 4; ++i)
        tool.type(QStringLiteral("目标地址(%1)").arg(i), QStringList{"08", "00", "40", "00"}[i]);
    const bool clicked = click(tool, QStringLiteral("cmdLoad")) && click(tool, QStringLiteral("开始下载"));
    const bool right = clicked && waitUntil([&] { return tool.status() == QStringLiteral("IAP Checksum right"); }, DownloadMs);
    for (const QString& status : tool.statusLog())
        std::printf("status: %s\n", qPrintable(status));
    return right ? 0 : 1;
}
