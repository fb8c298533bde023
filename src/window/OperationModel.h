#pragma once

#include <QObject>
#include <QString>

#include <array>

namespace iap {

// The files chosen and which operations are armed: what the operation buttons show enabled and
// the automatic sequence takes as ready. Choosing a file arms its operation, an operation holding
// the port disarms them all, and its release (a right verdict, Refresh) arms "Read Flash" and
// every operation whose file is chosen; an operation without a file keeps what it had.
class OperationModel : public QObject {
    Q_OBJECT

public:
    enum class Operation { FlashRead, FlashSlot0, FlashSlot1, Download };
    static constexpr int SlotCount = 2;
    static Operation flashSlot(int slot) { return slot == 0 ? Operation::FlashSlot0 : Operation::FlashSlot1; }

    QString applicationPath() const { return application; }
    QString flashImagePath(int slot) const { return flashImages[std::size_t(slot)]; }
    bool armed(Operation operation) const { return armedFlags[index(operation)]; }

    void chooseApplication(const QString& path);
    void chooseFlashImage(int slot, const QString& path);
    void arm(Operation operation) { setArmed(operation, true); }
    void disarm(Operation operation) { setArmed(operation, false); }
    // An operation holds the port.
    void disarmAll();
    // The operation is over: "Read Flash" and each operation whose file is chosen.
    void armChosen();

signals:
    void armedChanged(iap::OperationModel::Operation operation, bool armed);

private:
    static std::size_t index(Operation operation) { return std::size_t(operation); }
    void setArmed(Operation operation, bool armed);

    QString application;
    std::array<QString, SlotCount> flashImages;
    // "Read Flash" alone until a file is chosen.
    std::array<bool, 4> armedFlags{true, false, false, false};
};

}  // namespace iap
