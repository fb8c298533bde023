#include "station/SocketDisplay.h"

#include "production/PortSession.h"
#include "station/BoardBarcode.h"
#include "station/BoardWatch.h"
#include "station/SocketHost.h"

namespace iap {
namespace {

QString stepName(ProductionRound::Step step)
{
    switch (step) {
    case ProductionRound::Step::FlashSlot0:
        return QStringLiteral("writing slot 0");
    case ProductionRound::Step::FlashSlot1:
        return QStringLiteral("writing slot 1");
    case ProductionRound::Step::Application:
    case ProductionRound::Step::Past:
        break;
    }
    return QStringLiteral("downloading");
}

}  // namespace

SocketDisplay::SocketDisplay(const BoardBarcode& boardBarcode, const BoardWatch& boardWatch, const SocketHost& socketHost, QObject* parent)
    : QObject(parent), barcode(boardBarcode), watch(boardWatch), host(socketHost)
{
}

SocketView SocketDisplay::view() const
{
    SocketView view = shown;
    view.barcode = barcode.code();
    if (view.phase == SocketView::Phase::Waiting)
        if (const QString why = watch.unable(); !why.isEmpty())
            view.refused(why);
    // Start would be refused: the operator reads why before pressing it.
    if (view.phase == SocketView::Phase::AwaitingStart && !host.jobRefusal().isEmpty())
        view.refused(host.jobRefusal());
    return view;
}

void SocketDisplay::follow(const PortSession& session)
{
    connect(&session, &PortSession::roundStep, this, [this](ProductionRound::Step step) {
        shown.stepStarts(stepName(step));
        show();
    });
    connect(&session, &PortSession::uniquePageStep, this, [this](const QString& boardSerial) {
        shown.stepStarts(QStringLiteral("writing the unique page"));
        shown.boardSerial = boardSerial;
        show();
    });
    connect(&session, &PortSession::progress, this, [this](int done, int total) {
        shown.done = done;
        shown.total = total;
        show();
    });
    connect(&session, &PortSession::versionReported, this, [this](const QString& version) {
        shown.version = version;
        show();
    });
}

void SocketDisplay::setPhase(SocketView::Phase phase)
{
    shown.phase = phase;
    show();
}

void SocketDisplay::roundStarts()
{
    shown.roundStarts();
    show();
}

void SocketDisplay::refused(const QString& why)
{
    shown.refused(why);
    show();
}

void SocketDisplay::show()
{
    emit changed(view());
}

}  // namespace iap
