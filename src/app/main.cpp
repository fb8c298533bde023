#include <QApplication>

#include <cstdio>
#include <optional>

#include "Assembly.h"
#include "DisplayCheck.h"
#include "MainWindow.h"
#include "ProgramArguments.h"
#include "StationWindow.h"

int main(int argc, char** argv)
{
    // The help, the version and arguments that cannot be taken are told before anything needs a
    // display; `iap --station` opens the production station instead of the classic window.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const iap::ProgramArguments parsed = iap::parseProgramArguments(arguments);
    switch (parsed.action) {
    case iap::ProgramArguments::Action::Help:
        std::printf("%s", qPrintable(iap::programHelpText()));
        return 0;
    case iap::ProgramArguments::Action::Version:
        std::printf("iap %d.%d.%d\n", IAP_VERSION_MAJOR, IAP_VERSION_MINOR, IAP_VERSION_PATCH);
        return 0;
    case iap::ProgramArguments::Action::Refuse:
        std::fprintf(stderr, "iap: %s\nSee iap --help.\n", qPrintable(parsed.error));
        return 2;
    case iap::ProgramArguments::Action::OpenWindow:
        break;
    }
    if (const QString why = iap::missingDisplay(parsed.platformGiven); !why.isEmpty()) {
        std::fprintf(stderr, "iap: %s\n", qPrintable(why));
        return 1;
    }
    std::optional<QApplication> app;
    {
        const iap::PlatformStartGuard guard;
        app.emplace(argc, argv);
    }
    if (parsed.station) {
        iap::StationWindow window(iap::makeSystemPlatform(), iap::makeSystemDesktop(), *parsed.station);
        window.show();
        return app->exec();
    }
    auto window = iap::createMainWindow(iap::makeSystemPlatform(), iap::makeSystemDesktop());
    window->show();
    return app->exec();
}
