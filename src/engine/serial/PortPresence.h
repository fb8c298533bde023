#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

namespace iap {

// Whether a port is there: its path exists and, for a virtual device, the program behind it is
// alive. A person plugs and unplugs boards at any time, so the path is looked at every
// PollMs; the system's change notifications do not reach every kind of port.
class PortPresence : public QObject {
    Q_OBJECT

public:
    static constexpr int PollMs = 50;

    explicit PortPresence(QString path, QObject* parent = nullptr);

    bool isPresent() const { return present; }
    static bool isPresent(const QString& path);

signals:
    void appeared();
    void vanished();

private:
    void look();

    QString path;
    QTimer poll;
    bool present;
};

}  // namespace iap
