#include "station/BoardTrigger.h"

#include <array>

#include "production/BootloaderClient.h"
#include "station/AppearTrigger.h"
#include "station/LineTrigger.h"
#include "station/ProbeTrigger.h"

namespace iap {
namespace {

constexpr std::array<std::pair<TriggerKind, const char*>, 3> Names{{{TriggerKind::Appear, "appear"}, {TriggerKind::Probe, "probe"}, {TriggerKind::Line, "line"}}};

}  // namespace

std::optional<TriggerKind> triggerNamed(const QString& name)
{
    for (const auto& [kind, text] : Names)
        if (name.compare(QLatin1String(text), Qt::CaseInsensitive) == 0)
            return kind;
    return std::nullopt;
}

QString triggerName(TriggerKind kind)
{
    for (const auto& [named, text] : Names)
        if (named == kind)
            return QString::fromLatin1(text);
    return {};
}

QString triggerChoices()
{
    return QStringLiteral("appear, probe or line");
}

std::unique_ptr<BoardTrigger> BoardTrigger::make(TriggerKind kind, PortPresence& presence, BootloaderClient& bootloader, const TriggerSettings& settings,
                                                 Clock& clock)
{
    switch (kind) {
    case TriggerKind::Probe:
        return std::make_unique<ProbeTrigger>(presence, bootloader, settings, clock);
    case TriggerKind::Line:
        return std::make_unique<LineTrigger>(presence, bootloader.connection(), settings, clock);
    case TriggerKind::Appear:
        break;
    }
    return std::make_unique<AppearTrigger>(presence, clock);
}

void BoardTrigger::roundEnded(bool, const std::function<void()>& known)
{
    known();
}

}  // namespace iap
