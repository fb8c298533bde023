#include "window/ConnectionControls.h"

#include <QComboBox>
#include <QRadioButton>

#include <exception>
#include <system_error>

#include "window/MainWindow.h"
#include "session/DeviceModel.h"
#include "session/TimerControl.h"

namespace iap {
namespace {

void reportUnexpected(主窗口& w, int number, const QString& description)
{
    Disable(w.session.Timer1);
    w.SetStatus(QStringLiteral("Error.Number:%1,%2!").arg(number).arg(description));
    w.ListPorts();
}

}  // namespace

void OpenClick(主窗口& w)
{
    try {
        const QString settings = w.波特率->isChecked() ? Hx300Settings : Vr200Settings;
        // The whole port name, not its first four characters: COM10 and Linux names need it all.
        const QString portName = portNameOfEntry(w.COMID->currentText());
        if (w.session.Open(portName, settings))
            w.SetStatus(QStringLiteral("CommPort:") + portName);
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
    w.session.Close();
}

void 刷新串口Click(主窗口& w)
{
    w.ListPorts();
}

void 波特率Click(主窗口& w)
{
    OpenClick(w);
}

}  // namespace iap
