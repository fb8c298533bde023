#include "JobPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "FileDialog.h"
#include "ImageFilters.h"
#include "MessageBox.h"

namespace iap {
namespace {

const char* const JobFilter = "Station jobs (*.json)";
// Raw images and the files toolchains emit, which name their own addresses.
const char* const OwnFilters[] = {"Flash images (*.flash *.bin *.hex *.ihex *.srec *.s19 *.s28 *.s37 *.mot *.elf *.axf)",
                                    "Flash images (*.flash *.bin *.hex *.ihex *.srec *.s19 *.s28 *.s37 *.mot *.elf *.axf)",
                                    "Applications (*.bin *.hex *.ihex *.srec *.s19 *.s28 *.s37 *.mot *.elf *.axf)"};
const char* const ImageNames[] = {"slot0", "slot1", "application"};
const char* const ImageCaptions[] = {"Slot 0", "Slot 1", "Application"};

}  // namespace

JobPanel::JobPanel(FileDialog& fileDialog, MessageBox& messageBox, QWidget* parent)
    : QGroupBox(QStringLiteral("Job"), parent), files(fileDialog), messages(messageBox), model(new QComboBox(this)), address(new QLineEdit(this)),
      verify(new QCheckBox(QStringLiteral("Verify"), this)), boardIn(*this), uniqueSummary(new QLabel(QStringLiteral("none (a job file may hold one)"), this)), verdict(new QLabel(this))
{
    setObjectName(QStringLiteral("job"));
    setUpControls();
    layOut();
}

void JobPanel::setUpControls()
{
    model->setObjectName(QStringLiteral("model"));
    for (const DeviceProfile& device : DeviceProfiles)
        model->addItem(device.name);
    address->setObjectName(QStringLiteral("address"));
    // A hint, not a value: a job without an address has none.
    address->setPlaceholderText(QStringLiteral("e.g. 08004000"));
    address->setMaxLength(10);
    verify->setObjectName(QStringLiteral("verify"));
    verify->setToolTip(QStringLiteral("Read each image back from the flash and compare it byte for byte"));
    uniqueSummary->setObjectName(QStringLiteral("uniquePage"));
    uniqueSummary->setWordWrap(true);
    verdict->setObjectName(QStringLiteral("jobVerdict"));
    verdict->setWordWrap(true);
}

void JobPanel::layOut()
{
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Model"), this), 0, 0);
    grid->addWidget(model, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Address"), this), 0, 2);
    grid->addWidget(address, 0, 3);
    grid->addWidget(verify, 0, 4);
    addImageRows(*grid);
    grid->addLayout(boardIn.row(*this), 4, 0, 1, 5);
    grid->addWidget(new QLabel(QStringLiteral("Unique page"), this), 5, 0);
    grid->addWidget(uniqueSummary, 5, 1, 1, 4);
    grid->addLayout(jobButtons(), 6, 0, 1, 5);
}

void JobPanel::addImageRows(QGridLayout& grid)
{
    for (std::size_t i = 0; i < images.size(); ++i) {
        const int row = int(i) + 1;
        images[i] = new QLineEdit(this);
        images[i]->setObjectName(QString::fromLatin1(ImageNames[i]));
        auto* browse = new QPushButton(QStringLiteral("…"), this);
        browse->setObjectName(QString::fromLatin1(ImageNames[i]) + QStringLiteral("Browse"));
        connect(browse, &QPushButton::clicked, this, [this, i] {
            if (const QString path = files.showOpen(this, imageFilters(QString::fromLatin1(OwnFilters[i]))); !path.isEmpty())
                images[i]->setText(path);
        });
        grid.addWidget(new QLabel(QString::fromLatin1(ImageCaptions[i]), this), row, 0);
        grid.addWidget(images[i], row, 1, 1, 3);
        grid.addWidget(browse, row, 4);
    }
}

QLayout* JobPanel::jobButtons()
{
    auto* apply = new QPushButton(QStringLiteral("Apply"), this);
    auto* saveButton = new QPushButton(QStringLiteral("Save job…"), this);
    auto* loadButton = new QPushButton(QStringLiteral("Load job…"), this);
    apply->setObjectName(QStringLiteral("apply"));
    saveButton->setObjectName(QStringLiteral("saveJob"));
    loadButton->setObjectName(QStringLiteral("loadJob"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(apply);
    buttons->addWidget(saveButton);
    buttons->addWidget(loadButton);
    buttons->addWidget(verdict, 1);
    connect(apply, &QPushButton::clicked, this, [this] { emit applied(job()); });
    connect(saveButton, &QPushButton::clicked, this, &JobPanel::save);
    connect(loadButton, &QPushButton::clicked, this, &JobPanel::load);
    return buttons;
}

StationJob JobPanel::job() const
{
    StationJob chosen;
    chosen.model = DeviceProfiles.at(std::size_t(model->currentIndex()));
    chosen.address = address->text().trimmed();
    chosen.slot0 = images[0]->text();
    chosen.slot1 = images[1]->text();
    chosen.application = images[2]->text();
    chosen.verify = verify->isChecked();
    boardIn.takeInto(chosen);
    chosen.unique = given.unique;
    chosen.barcodeRequired = given.barcodeRequired;
    chosen.repeatBarcodes = given.repeatBarcodes;
    chosen.pins = given.pins;
    chosen.deliver = given.deliver;
    // The job names its file only while it is still that file's job.
    chosen.file = given.file;
    chosen.fileSha256 = given.fileSha256;
    if (chosen != given)
        chosen.file = chosen.fileSha256 = QString();
    return chosen;
}

void JobPanel::setJob(const StationJob& chosen)
{
    given = chosen;
    model->setCurrentIndex(model->findText(chosen.model.name));
    address->setText(chosen.address);
    images[0]->setText(chosen.slot0);
    images[1]->setText(chosen.slot1);
    images[2]->setText(chosen.application);
    verify->setChecked(chosen.verify);
    boardIn.show(chosen);
    uniqueSummary->setText(chosen.unique ? chosen.unique->summary() : QStringLiteral("none (a job file may hold one)"));
}

void JobPanel::showRefusal(const QString& refusal)
{
    verdict->setText(refusal.isEmpty() ? QStringLiteral("The sockets run this job.") : refusal);
}

void JobPanel::lock()
{
    for (QWidget* control : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        // A path stays readable whole; what cannot be read-only is disabled.
        if (auto* edit = qobject_cast<QLineEdit*>(control))
            edit->setReadOnly(true);
        else if (!qobject_cast<QLabel*>(control))
            control->setEnabled(false);
    }
}

void JobPanel::save()
{
    const QString path = files.showSave(this, QString::fromLatin1(JobFilter));
    if (path.isEmpty())
        return;
    if (const QString failure = saveStationJob(job(), path); !failure.isEmpty())
        messages.show(this, failure, QStringLiteral("IAP Station"), MessageBox::Icon::Exclamation);
}

void JobPanel::load()
{
    const QString path = files.showOpen(this, QString::fromLatin1(JobFilter));
    if (path.isEmpty())
        return;
    QString failure;
    const std::optional<StationJob> loaded = loadStationJob(path, failure);
    if (!loaded) {
        messages.show(this, failure, QStringLiteral("IAP Station"), MessageBox::Icon::Exclamation);
        return;
    }
    setJob(*loaded);
    emit applied(*loaded);
}

}  // namespace iap
