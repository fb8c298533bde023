#include <QApplication>

#include "app/Assembly.h"
#include "window/MainWindow.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    auto window = iap::CreateMainWindow(iap::makeSystemPlatform());
    window->show();
    return app.exec();
}
