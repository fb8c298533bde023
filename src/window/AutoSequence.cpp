#include "AutoSequence.h"

#include <QCheckBox>
#include <QPushButton>

#include "MainWindow.h"
#include "Operations.h"

namespace iap {
namespace {

class WindowSteps final : public ProductionRound::Runner {
public:
    explicit WindowSteps(MainWindow& w) : w(w) {}

    bool busy() const override { return w.bootloader.connection().isOpen(); }

    bool ready(ProductionRound::Step step) const override
    {
        switch (step) {
        case ProductionRound::Step::FlashSlot0:
            return w.writeFlashButtons[0]->isEnabled();
        case ProductionRound::Step::FlashSlot1:
            return w.writeFlashButtons[1]->isEnabled();
        case ProductionRound::Step::Application:
            return w.downloadButton->isEnabled();
        case ProductionRound::Step::Past:
            break;
        }
        return false;
    }

    void run(ProductionRound::Step step) override
    {
        if (step == ProductionRound::Step::Application)
            startDownload(w);
        else
            startFlashWrite(w, step == ProductionRound::Step::FlashSlot0 ? 0 : 1);
    }

private:
    MainWindow& w;
};

}  // namespace

std::unique_ptr<ProductionRound::Runner> makeWindowSteps(MainWindow& w)
{
    return std::make_unique<WindowSteps>(w);
}

void automaticToggled(MainWindow& w)
{
    if (w.automaticBox->checkState() == Qt::Unchecked)
        w.round.stop();
    else
        w.round.startContinuous();
}

}  // namespace iap
