#include "ConnectionControls.h"

#include <QComboBox>
#include <QRadioButton>

#include <exception>
#include <system_error>

#include "MainWindow.h"

namespace iap {
namespace {

void reportUnexpected(MainWindow& w, int number, const QString& description)
{
    w.bootloader.connection().close();
    w.setStatus(QStringLiteral("Error.Number:%1,%2!").arg(number).arg(description));
    w.listPorts();
}

}  // namespace

void openPort(MainWindow& w)
{
    try {
        const DeviceModel model = w.hx300Option->isChecked() ? DeviceModel::Hx300 : DeviceModel::Vr200;
        // The whole port name, not its first four characters: COM10 and Linux names need it all.
        if (w.bootloader.connection().open(w.portList->currentData().toString(), model))
            w.setStatus(QStringLiteral("CommPort:") + w.portList->currentData(MainWindow::PortNameRole).toString());
    } catch (const std::system_error& error) {
        reportUnexpected(w, error.code().value(), QString::fromLocal8Bit(error.what()));
    } catch (const std::exception& error) {
        reportUnexpected(w, 0, QString::fromLocal8Bit(error.what()));
    } catch (...) {
        reportUnexpected(w, 0, QStringLiteral("unknown error"));
    }
}

void closePort(MainWindow& w)
{
    w.bootloader.connection().close();
}

void seekPorts(MainWindow& w)
{
    w.listPorts();
}

void hx300Chosen(MainWindow& w)
{
    openPort(w);
}

}  // namespace iap
