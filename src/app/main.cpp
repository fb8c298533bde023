#include <QApplication>

#include "Assembly.h"
#include "MainWindow.h"
#include "StationWindow.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // `iap --station` opens the production station instead of the classic window.
    if (app.arguments().contains(QStringLiteral("--station"))) {
        iap::StationWindow station(iap::makeSystemPlatform(), iap::makeSystemDesktop());
        station.show();
        return app.exec();
    }
    auto window = iap::createMainWindow(iap::makeSystemPlatform(), iap::makeSystemDesktop());
    window->show();
    return app.exec();
}
