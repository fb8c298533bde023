#include "Console.h"

#include <QMetaObject>
#include <QObject>

#include <csignal>
#include <io.h>
#include <stdio.h>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace iap::cli {
namespace {

QObject* stopContext = nullptr;
std::function<void(int)> stopHandler;

BOOL WINAPI onConsoleEvent(DWORD event)
{
    const int signalNumber = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT : SIGTERM;
    // The handler runs on a thread of its own; the stop runs on the context's.
    QMetaObject::invokeMethod(stopContext, [signalNumber] { stopHandler(signalNumber); }, Qt::QueuedConnection);
    return TRUE;
}

}  // namespace

bool outputIsTerminal()
{
    return _isatty(_fileno(stdout)) != 0;
}

void onStopRequest(QObject* context, std::function<void(int signalNumber)> stop)
{
    stopContext = context;
    stopHandler = std::move(stop);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

}  // namespace iap::cli
