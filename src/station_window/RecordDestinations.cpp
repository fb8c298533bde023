#include "RecordDestinations.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "Named.h"
#include "station/Station.h"

namespace iap {

RecordDestinations::RecordDestinations(Station& recordStation, QWidget& recordWindow)
    : station(recordStation), window(recordWindow), journalEdit(named(new QLineEdit(&window), "journal")),
      journalVerdict(named(new QLabel(&window), "journalVerdict")), deliverEdit(named(new QLineEdit(&window), "deliver")),
      tokenFileEdit(named(new QLineEdit(&window), "deliverTokenFile")), deliveryStatus(named(new QLabel(&window), "deliveryStatus"))
{
    journalEdit->setPlaceholderText(Journal::defaultLocation());
    deliverEdit->setPlaceholderText(QStringLiteral("https://mes.example/records or dir:/path (none: the job's)"));
    tokenFileEdit->setPlaceholderText(QStringLiteral("token file (none: $%1)").arg(QLatin1String(DeliveryTarget::TokenVariable)));
    connect(&station, &Station::deliveryChanged, deliveryStatus, &QLabel::setText);
}

void RecordDestinations::layOut(QVBoxLayout& column)
{
    auto* journalButton = named(new QPushButton(QStringLiteral("Use journal"), &window), "useJournal");
    auto* journal = new QHBoxLayout;
    journal->addWidget(new QLabel(QStringLiteral("Journal"), &window));
    journal->addWidget(journalEdit, 1);
    journal->addWidget(journalButton);
    journal->addWidget(journalVerdict, 1);
    auto* delivery = new QHBoxLayout;
    auto* deliverButton = named(new QPushButton(QStringLiteral("Deliver"), &window), "useDelivery");
    delivery->addWidget(new QLabel(QStringLiteral("Deliver to"), &window));
    delivery->addWidget(deliverEdit, 1);
    delivery->addWidget(tokenFileEdit);
    delivery->addWidget(deliverButton);
    delivery->addWidget(deliveryStatus, 1);
    column.addLayout(journal);
    column.addLayout(delivery);
    connect(deliverButton, &QPushButton::clicked, this, &RecordDestinations::applyDelivery);
    connect(deliverEdit, &QLineEdit::returnPressed, this, &RecordDestinations::applyDelivery);
    connect(journalButton, &QPushButton::clicked, this, &RecordDestinations::applyJournal);
    connect(journalEdit, &QLineEdit::returnPressed, this, &RecordDestinations::applyJournal);
}

QString RecordDestinations::journal() const
{
    return journalEdit->text().trimmed();
}

QString RecordDestinations::target() const
{
    return deliverEdit->text().trimmed();
}

QString RecordDestinations::tokenFile() const
{
    return tokenFileEdit->text().trimmed();
}

void RecordDestinations::setDestinations(const QString& journal, const QString& target, const QString& tokenFile)
{
    journalEdit->setText(journal);
    deliverEdit->setText(target);
    tokenFileEdit->setText(tokenFile);
}

void RecordDestinations::applyJournal()
{
    journalGiven = journalEdit->text().trimmed();
    const QString refusal = station.setJournal(journalGiven);
    journalVerdict->setText(refusal.isEmpty() ? QStringLiteral("Records go to %1").arg(station.journalLocation()) : refusal);
    emit applied();
}

// The token from the file named, else from the environment; the window never holds it in a
// setting.
void RecordDestinations::applyDelivery()
{
    QString refusal;
    const QString token = deliveryToken(tokenFileEdit->text().trimmed(), refusal);
    if (refusal.isEmpty())
        refusal = station.setDelivery(QStringList{deliverEdit->text().trimmed()}, token);
    deliveryStatus->setText(refusal.isEmpty() ? station.deliveryStatus() : refusal);
    emit applied();
}

}  // namespace iap
