#include "StationWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QVBoxLayout>

#include "JobPanel.h"
#include "ScannerKeys.h"
#include "JournalMenu.h"
#include "SocketTile.h"
#include "StationSettings.h"

namespace iap {
namespace {

constexpr int DefaultRestSeconds = 5;
constexpr int LongestRestSeconds = 24 * 3600;

template <typename Widget>
Widget* named(Widget* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace

StationWindow::StationWindow(Platform systemPlatform, Desktop systemDesktop, StationOptions stationOptions)
    : options(std::move(stationOptions)), platform(std::move(systemPlatform)), desktop(std::move(systemDesktop)), discovery(platform.takePortSource()),
      tunes(platform.tone()), station(platform.clock()), jobPanel(new JobPanel(*desktop.fileDialog, *desktop.messageBox, this)), tileGrid(new QGridLayout),
      portList(named(new QComboBox(this), "ports")), socketName(named(new QLineEdit(this), "socketName")),
      continuousBox(named(new QCheckBox(QStringLiteral("Continuous, rest"), this), "continuous")), restBox(named(new QSpinBox(this), "rest")),
      journalEdit(named(new QLineEdit(this), "journal")), journalVerdict(named(new QLabel(this), "journalVerdict")),
      scanVerdict(named(new QLabel(this), "scanVerdict")), scanner(new ScannerKeys(*this)),
      deliverEdit(named(new QLineEdit(this), "deliver")), tokenFileEdit(named(new QLineEdit(this), "deliverTokenFile")),
      deliveryStatus(named(new QLabel(this), "deliveryStatus"))
{
    setWindowTitle(options.operatorMode() ? QStringLiteral("IAP Station — Operator mode") : QStringLiteral("IAP Station"));
    socketName->setPlaceholderText(QStringLiteral("e.g. Fixture A1"));
    socketName->setToolTip(QStringLiteral("The socket's name; without one it is named by its port"));
    restBox->setRange(0, LongestRestSeconds);
    restBox->setSuffix(QStringLiteral(" s"));
    journalEdit->setPlaceholderText(Journal::defaultLocation());
    deliverEdit->setPlaceholderText(QStringLiteral("https://mes.example/records or dir:/path (none: the job's)"));
    tokenFileEdit->setPlaceholderText(QStringLiteral("token file (none: $%1)").arg(QLatin1String(DeliveryTarget::TokenVariable)));
    connect(&station, &Station::deliveryChanged, deliveryStatus, &QLabel::setText);
    portList->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    layOut();
    if (!options.operatorMode())
        connect(jobPanel, &JobPanel::applied, this, &StationWindow::applyJob);
    connect(&station, &Station::roundEnded, this, [this](Socket*, bool pass) { tunes.play(pass ? TunePlayer::passTune() : TunePlayer::failTune()); });
    for (int number = 1; number <= NumberedSockets; ++number) {
        numberKeys.push_back(new QShortcut(QKeySequence(Qt::Key_0 + number), this));
        connect(numberKeys.back(), &QShortcut::activated, this, [this, number] {
            if (number <= int(tiles.size()))
                tiles[std::size_t(number - 1)]->socket().start();
        });
    }
    connect(&station, &Station::jobChanged, this, &StationWindow::listenForCodes);
    connect(scanner, &ScannerKeys::scanned, this, &StationWindow::scanned);
    restore();
}

void StationWindow::layOut()
{
    auto* addButton = named(new QPushButton(QStringLiteral("Add socket"), this), "addSocket");
    auto* listButton = named(new QPushButton(QStringLiteral("Seek ports"), this), "seekPorts");
    auto* journalButton = named(new QPushButton(QStringLiteral("Use journal"), this), "useJournal");
    auto* sockets = new QHBoxLayout;
    sockets->addWidget(new QLabel(QStringLiteral("Port"), this));
    sockets->addWidget(portList, 1);
    sockets->addWidget(listButton);
    sockets->addWidget(new QLabel(QStringLiteral("Name"), this));
    sockets->addWidget(socketName);
    sockets->addWidget(addButton);
    sockets->addSpacing(24);
    sockets->addWidget(continuousBox);
    sockets->addWidget(restBox);
    auto* journal = new QHBoxLayout;
    journal->addWidget(new QLabel(QStringLiteral("Journal"), this));
    journal->addWidget(journalEdit, 1);
    journal->addWidget(journalButton);
    journal->addWidget(journalVerdict, 1);
    auto* delivery = new QHBoxLayout;
    auto* deliverButton = named(new QPushButton(QStringLiteral("Deliver"), this), "useDelivery");
    delivery->addWidget(new QLabel(QStringLiteral("Deliver to"), this));
    delivery->addWidget(deliverEdit, 1);
    delivery->addWidget(tokenFileEdit);
    delivery->addWidget(deliverButton);
    delivery->addWidget(deliveryStatus, 1);
    auto* column = new QVBoxLayout(this);
    auto* menus = new QMenuBar(this);
    menus->addMenu(new JournalMenu([this] { return journalInUse; }, *desktop.urlOpener, *desktop.messageBox, this));
    column->setMenuBar(menus);
    if (options.operatorMode()) {
        auto* mode = named(new QLabel(QStringLiteral("Operator mode"), this), "operatorMode");
        QFont bold = mode->font();
        bold.setBold(true);
        mode->setFont(bold);
        column->addWidget(mode);
    }
    column->addWidget(jobPanel);
    column->addLayout(tileGrid, 1);
    column->addWidget(scanVerdict);
    column->addLayout(sockets);
    column->addLayout(journal);
    column->addLayout(delivery);
    connect(deliverButton, &QPushButton::clicked, this, &StationWindow::applyDelivery);
    connect(deliverEdit, &QLineEdit::returnPressed, this, &StationWindow::applyDelivery);

    connect(listButton, &QPushButton::clicked, this, &StationWindow::listPorts);
    connect(addButton, &QPushButton::clicked, this, [this] {
        const int index = portList->currentIndex();
        if (index < 0)
            return;
        const PortInfo port = portList->itemData(index).value<PortInfo>();
        addSocket(socketName->text().trimmed().isEmpty() ? port.name() : socketName->text().trimmed(), port, station.stationJob().trigger,
                  Socket::BoardFoundFirst::Programmed);
        socketName->clear();
        remember();
    });
    connect(journalButton, &QPushButton::clicked, this, &StationWindow::applyJournal);
    connect(journalEdit, &QLineEdit::returnPressed, this, &StationWindow::applyJournal);
    connect(continuousBox, &QCheckBox::toggled, this, &StationWindow::applyRest);
    connect(restBox, &QSpinBox::valueChanged, this, &StationWindow::applyRest);
}

// The last session's station, before any socket may start a round.
void StationWindow::restore()
{
    const StationSettings last = StationSettings::load();
    journalEdit->setText(last.journal);
    deliverEdit->setText(last.deliver);
    tokenFileEdit->setText(last.deliverTokenFile);
    restBox->setValue(last.restSeconds.value_or(DefaultRestSeconds));
    continuousBox->setChecked(last.restSeconds.has_value());
    applyJournal();
    applyDelivery();
    applyRest();
    if (options.operatorMode()) {
        takeOperatorJob();
    } else {
        jobPanel->setJob(*last.job);
        const QString refused = station.setJob(*last.job);
        jobPanel->showRefusal(last.jobRefusal.isEmpty() ? refused : last.jobRefusal);
    }
    // A board left in its socket may be programmed already, or half: the operator decides.
    for (const StationSettings::SocketEntry& entry : last.sockets)
        addSocket(entry.name, entry.port, entry.trigger, Socket::BoardFoundFirst::WaitsForStart);
    restored = true;
    listPorts();
}

// The job released in its file, locked; one that cannot be loaded starts no round.
void StationWindow::takeOperatorJob()
{
    jobPanel->lock();
    QString refusal;
    if (const std::optional<StationJob> job = loadStationJob(options.operatorJob, refusal)) {
        jobPanel->setJob(*job);
        refusal = station.setJob(*job);
    } else {
        station.refuseJob(refusal);
    }
    jobPanel->showRefusal(refusal);
}

StationWindow::~StationWindow()
{
    station.stopAll();
}

// The port offered first is the one the classic window offers.
void StationWindow::listPorts()
{
    portList->clear();
    const PortListing listing = discovery.list();
    for (const PortInfo& port : listing.ports) {
        portList->addItem(listedText(port), QVariant::fromValue(port));
        if (listing.preferred && port.path() == listing.preferred->path())
            portList->setCurrentIndex(portList->count() - 1);
    }
}

void StationWindow::addSocket(const QString& name, const PortInfo& port, TriggerKind trigger, Socket::BoardFoundFirst foundFirst)
{
    Socket& socket = station.addSocket(name, port, trigger, foundFirst);
    auto* tile = new SocketTile(socket, int(tiles.size()) + 1, this);
    connect(tile, &SocketTile::removeRequested, this, [this, tile] { removeTile(tile); });
    connect(tile, &SocketTile::triggerChosen, this, &StationWindow::remember);
    connect(tile, &SocketTile::clicked, this, [this, tile] {
        if (station.needsBarcodes())
            choose(tile == chosen ? nullptr : tile);
    });
    tiles.push_back(tile);
    placeTiles();
}

void StationWindow::removeTile(SocketTile* tile)
{
    if (tile == chosen)
        choose(nullptr);
    tiles.erase(std::find(tiles.begin(), tiles.end(), tile));
    station.removeSocket(tile->socket());
    tile->deleteLater();
    placeTiles();
    remember();
}

void StationWindow::placeTiles()
{
    for (std::size_t i = 0; i < tiles.size(); ++i)
        tileGrid->addWidget(tiles[i], int(i) / TilesPerRow, int(i) % TilesPerRow);
}

void StationWindow::applyJob(const StationJob& job)
{
    jobPanel->showRefusal(station.setJob(job));
    remember();
}

void StationWindow::applyJournal()
{
    journalInUse = journalEdit->text().trimmed();
    const QString refusal = station.setJournal(journalInUse);
    journalVerdict->setText(refusal.isEmpty() ? QStringLiteral("Records go to %1").arg(station.journalLocation()) : refusal);
    remember();
}

// The token from the file named, else from the environment; the window never holds it in a
// setting.
void StationWindow::applyDelivery()
{
    QString refusal;
    const QString token = deliveryToken(tokenFileEdit->text().trimmed(), refusal);
    if (refusal.isEmpty())
        refusal = station.setDelivery(QStringList{deliverEdit->text().trimmed()}, token);
    deliveryStatus->setText(refusal.isEmpty() ? station.deliveryStatus() : refusal);
    remember();
}

void StationWindow::applyRest()
{
    restBox->setEnabled(continuousBox->isChecked());
    station.setRestSeconds(continuousBox->isChecked() ? std::optional<int>(restBox->value()) : std::nullopt);
    remember();
}

void StationWindow::listenForCodes()
{
    const bool codes = station.needsBarcodes();
    scanner->setListening(codes);
    for (QShortcut* key : numberKeys)
        key->setEnabled(!codes);
    if (!codes)
        choose(nullptr);
    scanVerdict->clear();
}

void StationWindow::choose(SocketTile* tile)
{
    if (chosen)
        chosen->setChosen(false);
    chosen = tile;
    if (chosen)
        chosen->setChosen(true);
}

void StationWindow::scanned(const QString& code)
{
    scanVerdict->setText(station.scan(code, chosen ? &chosen->socket() : nullptr));
    choose(nullptr);
}

void StationWindow::remember() const
{
    if (!restored)
        return;
    StationSettings settings;
    if (!options.operatorMode())
        settings.job = jobPanel->job();
    for (const SocketTile* tile : tiles)
        settings.sockets.push_back({tile->socket().name(), tile->socket().port(), tile->socket().trigger()});
    settings.restSeconds = station.restSeconds();
    settings.journal = journalEdit->text().trimmed();
    settings.deliver = deliverEdit->text().trimmed();
    settings.deliverTokenFile = tokenFileEdit->text().trimmed();
    settings.save();
}

}  // namespace iap
