#pragma once

#include <QMap>
#include <QString>

#include <cstdio>
#include <optional>

#include "Device.h"
#include "Files.h"
#include "RuntimeDir.h"
#include "VirtualMachine.h"

namespace iap::bench {

struct GuestWindowRun {
    // The window reported the operation right.
    bool right = false;
    // From the click that started it to its end, by the guest's clock.
    double seconds = 0;
    // The file of the shared folder asked for, as the run left it.
    QByteArray kept;
};

// The classic window in a guest of the virtual machine bench, its FT232's UART wired to the
// device: it runs `arguments` (tests/vm/window.cpp), with `files` put in the shared folder
// (/results) first, and keeps the file `keep` of that folder. Nothing, with the reason printed,
// when no guest boots here.
inline std::optional<GuestWindowRun> windowInGuest(test::VirtualDevice& device, const QString& arguments, const QMap<QString, QByteArray>& files,
                                                   const QString& keep = {})
{
    if (const QString why = test::VirtualMachine::unavailable(); !why.isEmpty()) {
        std::printf("through a guest's driver: skipped, %s\n", qPrintable(why));
        return std::nullopt;
    }
    test::VirtualMachine guest(QStringLiteral("window.sh"));
    guest.addAdapter(device, QStringLiteral("IAPBENCH0"));
    guest.setEnvironment(QStringLiteral("IAP_WINDOW_RUN"), u'\'' + arguments + u'\'');
    for (auto file = files.begin(); file != files.end(); ++file)
        if (!test::writeFile(guest.resultPath(file.key()), file.value()))
            return GuestWindowRun{};
    constexpr int GuestMs = 900000;
    if (!guest.start() || !guest.finish(GuestMs)) {
        std::printf("the guest did not run: %s\n", qPrintable(guest.console().right(1000)));
        return GuestWindowRun{};
    }
    GuestWindowRun run;
    run.right = guest.result(QStringLiteral("window.status")).trimmed() == "0";
    if (!keep.isEmpty())
        run.kept = guest.result(keep);
    for (const QByteArray& line : guest.result(QStringLiteral("window.out")).split('\n'))
        if (line.startsWith("ms: "))
            run.seconds = line.mid(4).toDouble() / 1000.0;
    return run;
}

}  // namespace iap::bench
