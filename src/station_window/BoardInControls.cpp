#include "BoardInControls.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

namespace iap {

BoardInControls::BoardInControls(QWidget& panel)
    : trigger(new QComboBox(&panel)), switchLine(new QComboBox(&panel)), probeAddress(new QLineEdit(&panel)), probeMs(new QSpinBox(&panel))
{
    trigger->setObjectName(QStringLiteral("trigger"));
    for (const TriggerRow& row : TriggerKinds)
        trigger->addItem(QString::fromLatin1(row.name), int(row.kind));
    trigger->setToolTip(QStringLiteral("What starts a round on a socket added from now on: its port appears, its bootloader answers a probe, or the "
                                       "fixture's switch closes"));
    switchLine->setObjectName(QStringLiteral("switch"));
    for (const ModemLine line : {ModemLine::Cts, ModemLine::Dsr, ModemLine::Dcd, ModemLine::Ri})
        switchLine->addItem(modemLineName(line).toUpper(), int(line));
    switchLine->setToolTip(QStringLiteral("The adapter's modem-status input the fixture's switch is wired to"));
    probeAddress->setObjectName(QStringLiteral("probeAddress"));
    probeAddress->setPlaceholderText(QStringLiteral("the address"));
    probeAddress->setMaxLength(10);
    probeAddress->setToolTip(QStringLiteral("The page of flash a probe reads; nothing is written"));
    probeMs->setObjectName(QStringLiteral("probeMs"));
    probeMs->setRange(TriggerSettings::ShortestProbeMs, TriggerSettings::LongestProbeMs);
    probeMs->setSingleStep(100);
    probeMs->setSuffix(QStringLiteral(" ms"));
    probeMs->setValue(TriggerSettings::DefaultProbeMs);
}

QHBoxLayout* BoardInControls::row(QWidget& panel) const
{
    auto* triggers = new QHBoxLayout;
    triggers->addWidget(new QLabel(QStringLiteral("Board in"), &panel));
    triggers->addWidget(trigger);
    triggers->addWidget(new QLabel(QStringLiteral("Switch"), &panel));
    triggers->addWidget(switchLine);
    triggers->addWidget(new QLabel(QStringLiteral("Probe at"), &panel));
    triggers->addWidget(probeAddress);
    triggers->addWidget(new QLabel(QStringLiteral("every"), &panel));
    triggers->addWidget(probeMs);
    triggers->addStretch();
    return triggers;
}

void BoardInControls::takeInto(StationJob& job) const
{
    job.trigger = TriggerKind(trigger->currentData().toInt());
    job.switchLine = ModemLine(switchLine->currentData().toInt());
    job.probeAddress = probeAddress->text().trimmed();
    job.probeMs = probeMs->value();
}

void BoardInControls::show(const StationJob& job)
{
    trigger->setCurrentIndex(trigger->findData(int(job.trigger)));
    switchLine->setCurrentIndex(switchLine->findData(int(job.switchLine)));
    probeAddress->setText(job.probeAddress);
    probeMs->setValue(job.probeMs);
}

}  // namespace iap
