#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>

namespace iap::cli {

enum class Command { Ports, Download, Write, Read, Program };

// What a run of the command line is to do, checked before anything is sent.
struct Options {
    Command command = Command::Ports;
    QStringList ports;
    QString settings;
    std::optional<std::array<std::uint8_t, 4>> address;
    int pages = 0;
    QString output;
    // download: the application; write: the image; program: slot 0, slot 1, application.
    QString image;
    QString slot0;
    QString slot1;
    QString application;
    int timeoutSeconds = 5;
    bool json = false;
    bool help = false;

    // The read-back file of a port: `output` with "{port}" replaced by the port's base name.
    QString outputFor(const QString& port) const;
};

// Parses and checks the arguments (without the program's name). An empty error means they are
// good; files are checked for being there and readable, and a flash image's header page
// against --address.
Options ParseOptions(const QStringList& arguments, QString& error);

// The help of the program, or of one command.
QString HelpText(std::optional<Command> command);

// "08004000" or "0x08004000": exactly eight hexadecimal digits.
std::optional<std::array<std::uint8_t, 4>> ParseAddress(const QString& text);

}  // namespace iap::cli
