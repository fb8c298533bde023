#include "platform/TunePlayer.h"

#include "platform/Tone.h"

namespace iap {

TunePlayer::TunePlayer(Tone& tone) : tone(tone), context(new QObject)
{
    context->moveToThread(&thread);
    QObject::connect(&thread, &QThread::finished, context, &QObject::deleteLater);
    thread.setObjectName(QStringLiteral("tune player"));
    thread.start();
}

TunePlayer::~TunePlayer()
{
    QMetaObject::invokeMethod(context, [] {}, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
}

void TunePlayer::play(std::vector<Note> tune)
{
    QMetaObject::invokeMethod(context, [this, tune = std::move(tune)] {
        for (const Note& note : tune)
            tone.beep(note.frequencyHz(), note.durationMs());
    });
}

}  // namespace iap
