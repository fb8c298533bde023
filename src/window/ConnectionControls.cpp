#include "window/ConnectionControls.h"

#include <QComboBox>
#include <QRadioButton>

#include <exception>
#include <system_error>

#include "window/MainWindow.h"
#include "window/TimerControl.h"

namespace iap {
namespace {

const QString Hx300Settings = QStringLiteral("115200,n,8,1");
const QString Vr200Settings = QStringLiteral("38400,n,8,1");

void reportUnexpected(主窗口& w, int number, const QString& description)
{
    Disable(w.Timer1);
    w.SetStatus(QStringLiteral("Error.Number:%1,%2!").arg(number).arg(description));
    w.discovery.ListPorts(*w.COMID);
}

}  // namespace

void OpenClick(主窗口& w)
{
    try {
        w.serial.ClosePort();
        const QString settings = w.波特率->isChecked() ? Hx300Settings : Vr200Settings;
        // The whole port name, not its first four characters: COM10 and Linux names need it all.
        const QString portName = portNameOfEntry(w.COMID->currentText());
        if (!w.serial.OpenPort(portName + u':', settings)) {
            Disable(w.Timer1);
            return;
        }
        w.SetStatus(QStringLiteral("CommPort:") + portName);
        Enable(w.Timer1);
    } catch (const std::system_error& error) {
        reportUnexpected(w, error.code().value(), QString::fromLocal8Bit(error.what()));
    } catch (const std::exception& error) {
        reportUnexpected(w, 0, QString::fromLocal8Bit(error.what()));
    } catch (...) {
        reportUnexpected(w, 0, QStringLiteral("unknown error"));
    }
}

void CloseClick(主窗口& w)
{
    w.serial.FlushPort();
    w.serial.ClosePort();
    Disable(w.Timer1);
}

void 刷新串口Click(主窗口& w)
{
    w.discovery.ListPorts(*w.COMID);
}

void 波特率Click(主窗口& w)
{
    OpenClick(w);
}

}  // namespace iap
