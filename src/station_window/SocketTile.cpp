#include "SocketTile.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <type_traits>

#include "ElidedLabel.h"

namespace iap {
namespace {

// Sizes and colours that read from a metre away.
constexpr int TitlePoints = 16;
constexpr int VerdictPoints = 36;
constexpr int StatePoints = 13;
constexpr int TileWidthPixels = 320;
constexpr int FramePixels = 1;
constexpr int ChosenFramePixels = 5;
// A palette, not a style sheet: restyling a tile and its children took milliseconds, and
// sixteen sockets reach their verdicts together.
const QColor PassColour(0x2e, 0x9d, 0x3a);
const QColor FailColour(0xc6, 0x28, 0x28);

template <typename Label = QLabel>
QLabel* label(const QString& objectName, int points, bool bold, QWidget* parent)
{
    auto* text = new Label(parent);
    text->setObjectName(objectName);
    QFont font = text->font();
    font.setPointSize(points);
    font.setBold(bold);
    text->setFont(font);
    text->setWordWrap(!std::is_same_v<Label, ElidedLabel>);
    return text;
}

}  // namespace

SocketTile::SocketTile(Socket& socket, QWidget* parent)
    : QFrame(parent), shown(socket), title(label<ElidedLabel>(QStringLiteral("title"), TitlePoints, true, this)), state(label(QStringLiteral("state"), StatePoints, false, this)),
      bar(new QProgressBar(this)), verdict(label(QStringLiteral("verdict"), VerdictPoints, true, this)), reason(label(QStringLiteral("reason"), StatePoints, true, this)),
      details(label(QStringLiteral("details"), StatePoints, false, this)), counts(label(QStringLiteral("counts"), StatePoints, false, this)),
      trigger(new QComboBox(this)), startButton(new QPushButton(this)),
      removeButton(new QPushButton(QStringLiteral("Remove"), this))
{
    setFrameShape(QFrame::Box);
    setLineWidth(FramePixels);
    setAutoFillBackground(true);
    neutral = palette();
    neutral.setColor(QPalette::Window, neutral.color(QPalette::Base));
    setMinimumWidth(TileWidthPixels);
    bar->setObjectName(QStringLiteral("bar"));
    bar->setTextVisible(false);
    startButton->setObjectName(QStringLiteral("start"));
    removeButton->setObjectName(QStringLiteral("remove"));
    trigger->setObjectName(QStringLiteral("trigger"));
    trigger->setToolTip(QStringLiteral("What starts a round: the port appears, the bootloader answers a probe, or the fixture's switch closes"));
    for (const TriggerRow& row : TriggerKinds)
        trigger->addItem(QString::fromLatin1(row.name), int(row.kind));
    trigger->setCurrentIndex(trigger->findData(int(socket.trigger())));
    verdict->setAlignment(Qt::AlignCenter);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(startButton);
    buttons->addStretch();
    buttons->addWidget(trigger);
    buttons->addWidget(removeButton);
    auto* column = new QVBoxLayout(this);
    for (QWidget* part : std::initializer_list<QWidget*>{title, state, bar, verdict, reason, details, counts})
        column->addWidget(part);
    column->addLayout(buttons);

    connect(startButton, &QPushButton::clicked, &socket, &Socket::start);
    connect(removeButton, &QPushButton::clicked, this, &SocketTile::removeRequested);
    connect(trigger, &QComboBox::currentIndexChanged, this, [this] {
        shown.setTrigger(TriggerKind(trigger->currentData().toInt()));
        emit triggerChosen();
    });
    connect(&socket, &Socket::changed, this, &SocketTile::showView);
    showView(socket.view());
}

void SocketTile::setChosen(bool chosen)
{
    chosenForCode = chosen;
    setLineWidth(chosen ? ChosenFramePixels : FramePixels);
}

void SocketTile::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QFrame::mousePressEvent(event);
        return;
    }
    event->accept();
    emit clicked();
}

void SocketTile::showView(const SocketView& view)
{
    state->setText(view.stateText());
    bar->setMaximum(std::max(view.total, 1));
    bar->setValue(view.phase == SocketView::Phase::Running ? view.done : 0);
    startButton->setEnabled(view.phase != SocketView::Phase::Running);
    QPalette colours = neutral;
    switch (view.verdict) {
    case SocketView::Verdict::None:
        verdict->setText(view.phase == SocketView::Phase::Running ? QStringLiteral("…") : QString());
        break;
    case SocketView::Verdict::Pass:
        verdict->setText(QStringLiteral("PASS"));
        colours.setColor(QPalette::Window, PassColour);
        colours.setColor(QPalette::WindowText, Qt::white);
        break;
    case SocketView::Verdict::Fail:
        verdict->setText(QStringLiteral("FAIL"));
        colours.setColor(QPalette::Window, FailColour);
        colours.setColor(QPalette::WindowText, Qt::white);
        break;
    }
    if (painted != view.verdict) {
        painted = view.verdict;
        setPalette(colours);
    }
    reason->setText(view.reason);
    QStringList facts;
    if (view.verdict != SocketView::Verdict::None)
        facts << QStringLiteral("%1 s").arg(double(view.durationMs) / 1000.0, 0, 'f', 1);
    if (!view.barcode.isEmpty())
        facts << QStringLiteral("code %1").arg(view.barcode);
    if (!view.boardSerial.isEmpty())
        facts << view.boardSerial;
    if (!view.version.isEmpty())
        facts << QStringLiteral("bootloader %1").arg(view.version);
    details->setText(facts.join(QStringLiteral(" · ")));
    counts->setText(QStringLiteral("%1 passed, %2 failed").arg(view.passes).arg(view.fails));
}

void SocketTile::setNumber(int number)
{
    setObjectName(QStringLiteral("tile%1").arg(number));
    startButton->setText(QStringLiteral("Start (%1)").arg(number));
    title->setText(QStringLiteral("%1. %2 — %3").arg(number).arg(shown.name(), shown.port().name()));
    title->setToolTip(title->text());
}

}  // namespace iap
