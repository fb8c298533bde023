#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace iap {

// Whether a port is there: one of the paths it may appear at exists and, for a virtual device,
// the program behind it is alive. A person plugs and unplugs boards at any time, so the paths
// are looked at every PollMs; the system's change notifications do not reach every kind of port.
// A port made again at its path between two looks (a board swapped in a moment, or while a busy
// machine held the program up) was taken out and put in again: the path leads to another file.
class PortPresence : public QObject {
    Q_OBJECT

public:
    static constexpr int PollMs = 50;

    explicit PortPresence(QStringList paths, QObject* parent = nullptr);

    bool isPresent() const { return !presentPath.isEmpty(); }
    // The path the port is at now; when it is not there, the first it may appear at.
    QString path() const { return presentPath.isEmpty() ? paths.first() : presentPath; }
    static bool isPresent(const QString& path);

    // Which file a path is.
    struct File {
        quint64 number = 0;
        qint64 madeNs = 0;
        friend bool operator==(const File&, const File&) = default;
    };

signals:
    void appeared();
    void vanished();

private:
    void look();
    QString lookedUp() const;

    QStringList paths;
    QTimer poll;
    QString presentPath;
    // Which file the present path is: a port made again is another.
    File presentFile;
};

}  // namespace iap
