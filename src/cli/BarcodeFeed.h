#pragma once

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

namespace iap::cli {

// The codes a line's scanner or controller hands a station without a window, a line each: the
// standard input ("-") or a file, read from its start and followed as lines are appended to it.
class BarcodeFeed : public QObject {
    Q_OBJECT

public:
    // How often the source is looked at for new lines.
    static constexpr int PollMs = 100;

    explicit BarcodeFeed(QObject* parent = nullptr);
    ~BarcodeFeed() override;

    // Starts reading; empty when the source can be read, otherwise why not.
    QString open(const QString& source);

signals:
    // A line, without its end and the blanks around it; empty lines are passed over.
    void line(const QString& text);

private:
    struct StandardInput;

    void poll();
    // Each whole line of what has come; a last line without its end once nothing more comes.
    void takeLines(bool ended);

    QTimer timer;
    QFile file;
    qint64 offset = 0;
    // The standard input is read on a thread of its own (a read waits), and handed over here.
    std::shared_ptr<StandardInput> input;
    QByteArray pending;
};

}  // namespace iap::cli
