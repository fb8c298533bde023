#include "PtyWindow.h"

#include "TestFiles.h"
#include "download/ImageLoading.h"
#include "window/ConnectionControls.h"

namespace iap::test {

PtyWindow::PtyWindow() : tool(listing()) {}

std::unique_ptr<FakePortSource> PtyWindow::listing()
{
    auto owned = std::make_unique<FakePortSource>(std::vector<PortValue>{{QStringLiteral("VIRTUAL SERIAL"), pty.portPath()}});
    ports = owned.get();
    return owned;
}

bool PtyWindow::openWithImage(const QByteArray& image)
{
    imagePath = writeFile(files, QStringLiteral("image.bin"), image);
    if (!pty.isValid() || imagePath.isEmpty())
        return false;
    OpenClick(w());
    return w().serial.PortOpen() && LoadImageFile(w(), imagePath);
}

bool portIsHeld(const Pty& pty)
{
    SerialPort other(makeSystemPortDevice());
    const bool opened = other.OpenPort(pty.portDeviceName(), QStringLiteral("115200,n,8,1"));
    other.ClosePort();
    return !opened;
}

}  // namespace iap::test
