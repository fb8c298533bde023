#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace iap {

// A USB barcode scanner is a keyboard that types its code and Enter. While the scanner is
// listened to, the keys typed anywhere in the window but into a text field are its: printable
// characters gather, Enter or Return hands the code on, Escape drops what gathered.
class ScannerKeys : public QObject {
    Q_OBJECT

public:
    explicit ScannerKeys(QWidget& window);

    void setListening(bool listening);

signals:
    void scanned(const QString& code);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Whether the key goes to a field a person types into, where it stays theirs.
    bool typedIntoTextField(QObject* watched) const;

    QWidget& window;
    QString gathered;
    bool listening = false;
};

}  // namespace iap
