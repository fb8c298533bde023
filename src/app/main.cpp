#include <QApplication>

#include "Assembly.h"
#include "MainWindow.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    auto window = iap::createMainWindow(iap::makeSystemPlatform(), iap::makeSystemDesktop());
    window->show();
    return app.exec();
}
