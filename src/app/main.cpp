#include <QApplication>

#include <cstdio>

#include "Assembly.h"
#include "MainWindow.h"
#include "StationOptions.h"
#include "StationWindow.h"

int main(int argc, char** argv)
{
    // `iap --station` opens the production station instead of the classic window. Arguments it
    // cannot take are told before anything needs a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QString error;
    const std::optional<iap::StationOptions> station = iap::stationOptions(arguments, error);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "iap: %s\n", qPrintable(error));
        return 2;
    }
    QApplication app(argc, argv);
    if (station) {
        iap::StationWindow window(iap::makeSystemPlatform(), iap::makeSystemDesktop(), *station);
        window.show();
        return app.exec();
    }
    auto window = iap::createMainWindow(iap::makeSystemPlatform(), iap::makeSystemDesktop());
    window->show();
    return app.exec();
}
