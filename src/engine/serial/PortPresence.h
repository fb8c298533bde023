#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace iap {

// Whether a port is there: one of the paths it may appear at exists and, for a virtual device,
// the program behind it is alive. A person plugs and unplugs boards at any time, so the paths
// are looked at every PollMs; the system's change notifications do not reach every kind of port.
class PortPresence : public QObject {
    Q_OBJECT

public:
    static constexpr int PollMs = 50;

    explicit PortPresence(QStringList paths, QObject* parent = nullptr);

    bool isPresent() const { return !presentPath.isEmpty(); }
    // The path the port is at now; when it is not there, the first it may appear at.
    QString path() const { return presentPath.isEmpty() ? paths.first() : presentPath; }
    static bool isPresent(const QString& path);

signals:
    void appeared();
    void vanished();

private:
    void look();
    QString lookedUp() const;

    QStringList paths;
    QTimer poll;
    QString presentPath;
};

}  // namespace iap
