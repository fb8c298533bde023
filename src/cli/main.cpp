#include <QCoreApplication>

#include "CommandLine.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return iap::cli::runCommandLine(QCoreApplication::arguments().mid(1));
}
