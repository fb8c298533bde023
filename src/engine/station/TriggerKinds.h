#pragma once

#include <QString>

#include <array>
#include <optional>

namespace iap {

// What tells a socket that a board was put in or taken out.
enum class TriggerKind { Appear, Probe, Line };

// A kind of trigger as a job file, the command line, the station's windows and the help name and
// describe it: a row each, the default first. A trigger of a new kind is one row here, one case
// in the factory (TriggerFactory) and its class.
struct TriggerRow {
    TriggerKind kind;
    // The name a job file keeps and a user gives, in any case.
    const char* name;
    // For the help: how a board put in is told, lines after the first indented as the help's.
    const char* description;
};

inline constexpr std::array TriggerKinds{
    TriggerRow{TriggerKind::Appear, "appear",
               "the port appears: the adapter comes with the board (the default); it must\n"
               "stay 100 ms. The port vanishing is the board taken out"},
    TriggerRow{TriggerKind::Probe, "probe",
               "the adapter stays in the fixture and the port is held open: every\n"
               "--probe-ms (1000 by default, 100 to 60000) the station reads one page of\n"
               "flash at --probe-address (default --address), which changes nothing on\n"
               "the device. A checksum reply, right or wrong, is a board in; no answer\n"
               "within a page's time and 0.5 s is none, and a board in is out once a probe\n"
               "goes unanswered"},
    TriggerRow{TriggerKind::Line, "line",
               "the adapter stays in the fixture and a switch that closes while a board\n"
               "lies in it is wired to its modem-status input --switch (cts, the default,\n"
               "dsr, dcd or ri): active is a board in, inactive a board out. A virtual\n"
               "device publishes its inputs in the file <its link>.lines"},
};

std::optional<TriggerKind> triggerNamed(const QString& name);
QString triggerName(TriggerKind kind);
// For messages: the names a trigger may be given, "appear, probe or line".
QString triggerChoices();

}  // namespace iap
