#include "StationWindow.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QMenuBar>
#include <QSpinBox>
#include <QVBoxLayout>

#include "JobPanel.h"
#include "JournalMenu.h"
#include "Named.h"
#include "SocketTile.h"
#include "StationSettings.h"

namespace iap {
namespace {

constexpr int DefaultRestSeconds = 5;
constexpr int LongestRestSeconds = 24 * 3600;

}  // namespace

StationWindow::StationWindow(Platform systemPlatform, Desktop systemDesktop, StationOptions stationOptions)
    : options(std::move(stationOptions)), platform(std::move(systemPlatform)), desktop(std::move(systemDesktop)), tunes(platform.tone()),
      station(platform.clock()), jobPanel(new JobPanel(*desktop.fileDialog, *desktop.messageBox, this)), board(station, *this),
      adder(platform.takePortSource(), *this), continuousBox(named(new QCheckBox(QStringLiteral("Continuous, rest"), this), "continuous")),
      restBox(named(new QSpinBox(this), "rest")), records(station, *this)
{
    setWindowTitle(options.operatorMode() ? QStringLiteral("IAP Station — Operator mode") : QStringLiteral("IAP Station"));
    restBox->setRange(0, LongestRestSeconds);
    restBox->setSuffix(QStringLiteral(" s"));
    layOut();
    if (!options.operatorMode())
        connect(jobPanel, &JobPanel::applied, this, &StationWindow::applyJob);
    connect(&station, &Station::roundEnded, this, [this](Socket*, bool pass) { tunes.play(pass ? TunePlayer::passTune() : TunePlayer::failTune()); });
    connect(&board, &SocketBoard::changed, this, &StationWindow::remember);
    connect(&adder, &SocketAdder::added, this, [this](const QString& name, const PortInfo& port) {
        addSocket(name, port, station.stationJob().trigger, Socket::BoardFoundFirst::Programmed);
        remember();
    });
    connect(&records, &RecordDestinations::applied, this, &StationWindow::remember);
    restore();
}

void StationWindow::layOut()
{
    QHBoxLayout* sockets = adder.layOut();
    sockets->addSpacing(24);
    sockets->addWidget(continuousBox);
    sockets->addWidget(restBox);
    auto* column = new QVBoxLayout(this);
    auto* menus = new QMenuBar(this);
    menus->addMenu(new JournalMenu([this] { return records.journalInUse(); }, *desktop.urlOpener, *desktop.messageBox, this));
    column->setMenuBar(menus);
    if (options.operatorMode()) {
        auto* mode = named(new QLabel(QStringLiteral("Operator mode"), this), "operatorMode");
        QFont bold = mode->font();
        bold.setBold(true);
        mode->setFont(bold);
        column->addWidget(mode);
    }
    column->addWidget(jobPanel);
    column->addLayout(board.grid(), 1);
    column->addWidget(board.scanVerdict());
    column->addLayout(sockets);
    records.layOut(*column);
    connect(continuousBox, &QCheckBox::toggled, this, &StationWindow::applyRest);
    connect(restBox, &QSpinBox::valueChanged, this, &StationWindow::applyRest);
}

// The last session's station, before any socket may start a round.
void StationWindow::restore()
{
    const StationSettings last = StationSettings::load();
    records.setDestinations(last.journal, last.deliver, last.deliverTokenFile);
    restBox->setValue(last.restSeconds.value_or(DefaultRestSeconds));
    continuousBox->setChecked(last.restSeconds.has_value());
    records.applyJournal();
    records.applyDelivery();
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
    adder.listPorts();
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

void StationWindow::addSocket(const QString& name, const PortInfo& port, TriggerKind trigger, Socket::BoardFoundFirst foundFirst)
{
    board.add(station.addSocket(name, port, trigger, foundFirst));
}

void StationWindow::applyJob(const StationJob& job)
{
    jobPanel->showRefusal(station.setJob(job));
    remember();
}

void StationWindow::applyRest()
{
    restBox->setEnabled(continuousBox->isChecked());
    station.setRestSeconds(continuousBox->isChecked() ? std::optional<int>(restBox->value()) : std::nullopt);
    remember();
}

void StationWindow::remember() const
{
    if (!restored)
        return;
    StationSettings settings;
    if (!options.operatorMode())
        settings.job = jobPanel->job();
    for (const SocketTile* tile : board.tiles())
        settings.sockets.push_back({tile->socket().name(), tile->socket().port(), tile->socket().trigger()});
    settings.restSeconds = station.restSeconds();
    settings.journal = records.journal();
    settings.deliver = records.target();
    settings.deliverTokenFile = records.tokenFile();
    settings.save();
}

}  // namespace iap
