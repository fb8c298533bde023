#include "DisplayCheck.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace iap {
namespace {

constexpr int NoWindowStatus = 1;

struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};

QtMessageHandler previousHandler = nullptr;
std::vector<HeldMessage> heldMessages;

void holdOrGiveUp(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type != QtFatalMsg) {
        heldMessages.push_back({type, QByteArray(context.category), text});
        return;
    }
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    std::fprintf(stderr, "iap: no window can be opened: Qt's platform plugin%s%s did not start (is there a display?); iap-cli works without one\n",
                 platform.isEmpty() ? "" : " ", platform.constData());
    std::_Exit(NoWindowStatus);
}

}  // namespace

QString missingDisplay(bool platformGiven)
{
#ifdef Q_OS_LINUX
    if (platformGiven || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return {};
    return QStringLiteral("no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is set); iap-cli works without one");
#else
    Q_UNUSED(platformGiven);
    return {};
#endif
}

PlatformStartGuard::PlatformStartGuard()
{
    previousHandler = qInstallMessageHandler(holdOrGiveUp);
}

PlatformStartGuard::~PlatformStartGuard()
{
    qInstallMessageHandler(previousHandler);
    for (const HeldMessage& message : heldMessages)
        qt_message_output(message.type, QMessageLogContext(nullptr, 0, nullptr, message.category.isEmpty() ? nullptr : message.category.constData()),
                          message.text);
    heldMessages.clear();
}

}  // namespace iap
