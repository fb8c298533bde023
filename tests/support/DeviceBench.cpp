#include "DeviceBench.h"

#include "TestFiles.h"

namespace iap::test {

bool DeviceBench::start()
{
    if (!files.isValid() || !device.start())
        return false;
    tool = std::make_unique<TestWindow>();
    return w().COMID->currentText().startsWith(device.linkPath() + QStringLiteral("  "));
}

QString DeviceBench::file(const QString& name, const QByteArray& contents)
{
    return writeFile(files, name, contents);
}

QString DeviceBench::chooseApplication(const QByteArray& image)
{
    const QString path = file(QStringLiteral("app.bin"), image);
    desktop().fileDialog->answers << path;
    w().cmdLoad->click();
    return path;
}

QString DeviceBench::chooseSlot(int slot, const QByteArray& image)
{
    const QString path = file(QStringLiteral("slot%1.flash").arg(slot), image);
    desktop().fileDialog->answers << path;
    w().Command1[std::size_t(slot)]->click();
    return path;
}

}  // namespace iap::test
