#pragma once

#include <QString>
#include <QStringList>

#include <optional>

#include "StationOptions.h"

namespace iap {

// What `iap` is asked to do by its arguments (its name first), told before anything needs a
// display: its help, its version, a window to open, or a refusal.
struct ProgramArguments {
    enum class Action { Help, Version, OpenWindow, Refuse };

    Action action = Action::OpenWindow;
    // OpenWindow: the station's options when the station opens instead of the classic window.
    std::optional<StationOptions> station;
    // Refuse: why.
    QString error;
    // Qt's own -platform was given: the display is the one it names.
    bool platformGiven = false;
};

ProgramArguments parseProgramArguments(const QStringList& arguments);

// `iap --help`.
QString programHelpText();

}  // namespace iap
