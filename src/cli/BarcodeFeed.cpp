#include "BarcodeFeed.h"

#include <mutex>
#include <thread>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace iap::cli {
namespace {

// A raw read, which holds no lock of the C library's streams while it waits: the program may end
// while it does.
long readStandardInput(char* buffer, unsigned size)
{
#ifdef Q_OS_WIN
    return _read(0, buffer, size);
#else
    return long(::read(0, buffer, size));
#endif
}

}  // namespace

struct BarcodeFeed::StandardInput {
    std::mutex mutex;
    QByteArray bytes;
    bool ended = false;
};

BarcodeFeed::BarcodeFeed(QObject* parent) : QObject(parent)
{
    timer.setInterval(PollMs);
    connect(&timer, &QTimer::timeout, this, &BarcodeFeed::poll);
}

BarcodeFeed::~BarcodeFeed() = default;

QString BarcodeFeed::open(const QString& source)
{
    if (source == QLatin1String("-")) {
        input = std::make_shared<StandardInput>();
        // Waiting for the next line, the thread outlives nothing it does not own.
        std::thread([shared = input] {
            char buffer[4096];
            long got = 0;
            while ((got = readStandardInput(buffer, sizeof buffer)) > 0) {
                const std::lock_guard lock(shared->mutex);
                shared->bytes.append(buffer, got);
            }
            const std::lock_guard lock(shared->mutex);
            shared->ended = true;
        }).detach();
    } else {
        file.setFileName(source);
        if (!file.open(QIODevice::ReadOnly))
            return QStringLiteral("--barcodes %1 cannot be read: %2").arg(source, file.errorString());
        if (file.isSequential())
            return QStringLiteral("--barcodes %1 is not a regular file (give - for the standard input)").arg(source);
    }
    // The first lines come once the station listens.
    timer.start();
    return {};
}

void BarcodeFeed::poll()
{
    bool ended = false;
    if (input) {
        const std::lock_guard lock(input->mutex);
        pending += std::exchange(input->bytes, QByteArray());
        ended = input->ended;
    } else {
        // A file written again from its start is read again from its start.
        if (file.size() < offset) {
            offset = 0;
            pending.clear();
        }
        if (file.seek(offset)) {
            const QByteArray added = file.readAll();
            offset += added.size();
            pending += added;
        }
    }
    takeLines(ended);
    if (ended)
        timer.stop();
}

void BarcodeFeed::takeLines(bool ended)
{
    for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
        const QString text = QString::fromUtf8(pending.left(end)).trimmed();
        pending.remove(0, end + 1);
        if (!text.isEmpty())
            emit line(text);
    }
    if (ended && !pending.trimmed().isEmpty())
        emit line(QString::fromUtf8(std::exchange(pending, QByteArray())).trimmed());
}

}  // namespace iap::cli
