#include "Options.h"

#include "AdapterChip.h"
#include "DeviceIdentity.h"
#include "Hex.h"
#include "serial/PortAnnouncement_posix.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <set>
#include <strings.h>

namespace iap::sim {

namespace {

constexpr std::uint64_t MaxFlashBytes = 256ull * 1024 * 1024;
constexpr std::uint64_t AddressSpaceBytes = 1ull << 32;
// A page holds at least a command frame and at most what a device of this kind erases at once.
constexpr std::uint64_t MinPageBytes = 64;
constexpr std::uint64_t MaxPageBytes = 65536;

bool parseNumber(const std::string& text, std::uint64_t max, std::uint64_t& value)
{
    if (text.empty() || text[0] == '-' || text[0] == '+')
        return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || parsed > max)
        return false;
    value = parsed;
    return true;
}

bool wholePages(const Options& options, const std::string& flashSizeText, std::string& error)
{
    if (options.flashSize % options.pageBytes == 0)
        return true;
    error = "--flash-size: " + flashSizeText + " is not a whole number of " + std::to_string(options.pageBytes) + "-byte pages";
    return false;
}

}  // namespace

ParseOutcome parseOptions(int argc, char** argv, Options& options, std::string& error)
{
    bool baudGiven = false;
    bool pageBytesGiven = false;
    std::string flashSizeText = std::to_string(options.flashSize);
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h")
            return ParseOutcome::Help;
        if (option == "--version" || option == "-V")
            return ParseOutcome::Version;

        if (option == "--wrong-sum") {
            options.faults.wrongSum = true;
            continue;
        }
        if (option == "--merge-checksum") {
            options.faults.mergeChecksum = true;
            continue;
        }
        if (option == "--silent") {
            options.faults.silent = true;
            continue;
        }
        if (option == "--replug-after-round") {
            options.replugAfterRound = true;
            continue;
        }
        if (option == "--fixture") {
            options.fixture = true;
            continue;
        }

        static const std::set<std::string> ValueOptions {"--model", "--baud", "--flash-base", "--flash-size", "--page-bytes", "--image",
            "--erase-ms", "--program-ms", "--bootloader-version", "--serial", "--name", "--log", "--drop-ack", "--store-wrong-byte", "--ok-after", "--hangup-after",
            "--noise", "--reply-delay-ms", "--reply-gap-ms", "--data-gap-ms", "--replug-delay-ms", "--adapter", "--jitter-ms",
            "--seed", "--split-ms", "--switch", "--terminal"};
        if (ValueOptions.count(option) == 0) {
            error = "unknown option " + option;
            return ParseOutcome::Error;
        }
        if (i + 1 >= argc) {
            error = option + " needs a value";
            return ParseOutcome::Error;
        }
        const std::string value = argv[++i];
        std::uint64_t number = 0;
        const auto numberIn = [&](std::uint64_t min, std::uint64_t max) {
            if (parseNumber(value, max, number) && number >= min)
                return true;
            error = option + ": " + value + " is not a number from " + std::to_string(min) + " to " + std::to_string(max);
            return false;
        };
        const auto count = [&](std::uint64_t& field) {
            if (!numberIn(1, std::numeric_limits<std::uint32_t>::max()))
                return false;
            field = number;
            return true;
        };

        if (option == "--model") {
            if (strcasecmp(value.c_str(), "HX300") == 0) {
                options.model = "HX300";
                if (!baudGiven)
                    options.baud = Options::Hx300Baud;
            } else if (strcasecmp(value.c_str(), "VR200") == 0) {
                options.model = "VR200";
                if (!baudGiven)
                    options.baud = Options::Vr200Baud;
            } else {
                error = "--model: " + value + " is neither HX300 nor VR200";
                return ParseOutcome::Error;
            }
        } else if (option == "--baud") {
            if (!numberIn(1, 1'000'000'000))
                return ParseOutcome::Error;
            options.baud = static_cast<std::uint32_t>(number);
            baudGiven = true;
        } else if (option == "--flash-base") {
            if (!numberIn(0, std::numeric_limits<std::uint32_t>::max()))
                return ParseOutcome::Error;
            options.flashBase = static_cast<std::uint32_t>(number);
        } else if (option == "--flash-size") {
            if (!numberIn(options.pageBytes, MaxFlashBytes))
                return ParseOutcome::Error;
            options.flashSize = static_cast<std::uint32_t>(number);
            flashSizeText = value;
            if (!wholePages(options, flashSizeText, error))
                return ParseOutcome::Error;
        } else if (option == "--page-bytes") {
            if (!numberIn(MinPageBytes, MaxPageBytes))
                return ParseOutcome::Error;
            options.pageBytes = static_cast<std::uint32_t>(number);
            pageBytesGiven = true;
        } else if (option == "--image") {
            options.imagePath = value;
        } else if (option == "--erase-ms") {
            if (!numberIn(0, 60'000))
                return ParseOutcome::Error;
            options.eraseMs = number;
        } else if (option == "--program-ms") {
            if (!numberIn(0, 60'000))
                return ParseOutcome::Error;
            options.programMs = number;
        } else if (option == "--reply-gap-ms") {
            if (!numberIn(0, 60'000))
                return ParseOutcome::Error;
            options.replyGapMs = number;
        } else if (option == "--data-gap-ms") {
            if (!numberIn(0, 60'000))
                return ParseOutcome::Error;
            options.dataGapMs = number;
        } else if (option == "--bootloader-version") {
            options.bootloaderVersion = value;
        } else if (option == "--serial") {
            // Checked with the widest number a device can have, so that every device's serial fits.
            if (!validAnnouncedSerial(numbered(value, std::numeric_limits<std::uint64_t>::max()))) {
                error = "--serial: " + value + " is not printable ASCII without spaces, at most "
                    + std::to_string(AnnouncedSerialMaxBytes) + " characters with {n} as a 20-digit number";
                return ParseOutcome::Error;
            }
            options.serial = value;
        } else if (option == "--replug-delay-ms") {
            if (!numberIn(0, 3'600'000))
                return ParseOutcome::Error;
            options.replugDelayMs = number;
        } else if (option == "--name") {
            if (value.empty() || value.find('/') != std::string::npos || value == "." || value == "..") {
                error = "--name: " + value + " is not a plain file name";
                return ParseOutcome::Error;
            }
            options.linkName = value;
        } else if (option == "--log") {
            options.logPath = value;
        } else if (option == "--drop-ack") {
            if (!count(options.faults.dropAck))
                return ParseOutcome::Error;
        } else if (option == "--store-wrong-byte") {
            if (!count(options.faults.storeWrongByte))
                return ParseOutcome::Error;
        } else if (option == "--ok-after") {
            if (!count(options.faults.okAfter))
                return ParseOutcome::Error;
        } else if (option == "--hangup-after") {
            if (!count(options.faults.hangupAfter))
                return ParseOutcome::Error;
        } else if (option == "--noise") {
            if (value.empty()) {
                error = "--noise needs a non-empty text";
                return ParseOutcome::Error;
            }
            options.faults.noise = value;
        } else if (option == "--reply-delay-ms") {
            if (!numberIn(0, 3'600'000))
                return ParseOutcome::Error;
            options.faults.replyDelayMs = number;
        } else if (option == "--adapter") {
            const AdapterChip* chip = adapterChip(value);
            if (!chip) {
                error = "--adapter: " + value + " is none of " + adapterChipNames();
                return ParseOutcome::Error;
            }
            options.adapter = chip->name;
        } else if (option == "--jitter-ms") {
            if (!numberIn(0, 60'000))
                return ParseOutcome::Error;
            options.jitterMs = number;
        } else if (option == "--seed") {
            if (!numberIn(0, std::numeric_limits<std::uint64_t>::max()))
                return ParseOutcome::Error;
            options.seed = number;
        } else if (option == "--split-ms") {
            if (!numberIn(0, 60'000))
                return ParseOutcome::Error;
            options.faults.splitMs = number;
        } else if (option == "--terminal") {
            options.terminalPath = value;
        } else if (option == "--switch") {
            static const std::set<std::string> Inputs {"cts", "dsr", "dcd", "ri"};
            std::string input = value;
            std::transform(input.begin(), input.end(), input.begin(), [](unsigned char c) { return char(std::tolower(c)); });
            if (Inputs.count(input) == 0) {
                error = "--switch: " + value + " is none of cts, dsr, dcd, ri";
                return ParseOutcome::Error;
            }
            options.boardSwitch = input;
        }
    }
    // A page size given after the flash size is checked against it here.
    if (pageBytesGiven && !wholePages(options, flashSizeText, error))
        return ParseOutcome::Error;
    if (std::uint64_t(options.flashBase) + options.flashSize > AddressSpaceBytes) {
        error = "the flash (--flash-base, --flash-size) does not fit below 4 GiB";
        return ParseOutcome::Error;
    }
    return ParseOutcome::Run;
}

std::string describe(const Options& options)
{
    std::string text = "model " + options.model + " baud " + std::to_string(options.baud) + " flash-base "
        + hexAddress(options.flashBase) + " flash-size " + std::to_string(options.flashSize) + " erase-ms "
        + std::to_string(options.eraseMs) + " program-ms " + std::to_string(options.programMs) + " reply-gap-ms " + std::to_string(options.replyGapMs)
        + " data-gap-ms " + std::to_string(options.dataGapMs) + " version "
        + options.bootloaderVersion;
    const Faults& faults = options.faults;
    if (faults.dropAck)
        text += " drop-ack " + std::to_string(faults.dropAck);
    if (faults.storeWrongByte)
        text += " store-wrong-byte " + std::to_string(faults.storeWrongByte);
    if (faults.wrongSum)
        text += " wrong-sum";
    if (faults.mergeChecksum)
        text += " merge-checksum";
    if (faults.okAfter)
        text += " ok-after " + std::to_string(faults.okAfter);
    if (faults.silent)
        text += " silent";
    if (!faults.noise.empty())
        text += " noise " + faults.noise;
    if (faults.hangupAfter)
        text += " hangup-after " + std::to_string(faults.hangupAfter);
    if (faults.replyDelayMs)
        text += " reply-delay-ms " + std::to_string(faults.replyDelayMs);
    if (faults.splitMs)
        text += " split-ms " + std::to_string(faults.splitMs);
    // Like the faults, shown only when asked for, so that the line stays as it was without them.
    if (options.pageBytes != Options().pageBytes)
        text += " page-bytes " + std::to_string(options.pageBytes);
    if (!options.serial.empty())
        text += " serial " + options.serial;
    if (options.replugDelayMs != Options().replugDelayMs)
        text += " replug-delay-ms " + std::to_string(options.replugDelayMs);
    if (options.replugAfterRound)
        text += " replug-after-round";
    text += " adapter " + options.adapter;
    if (options.jitterMs)
        text += " jitter-ms " + std::to_string(options.jitterMs);
    if (options.seed)
        text += " seed " + std::to_string(*options.seed);
    if (options.fixture)
        text += " fixture";
    if (!options.boardSwitch.empty())
        text += " switch " + options.boardSwitch;
    if (!options.terminalPath.empty())
        text += " terminal " + options.terminalPath;
    return text;
}

std::string helpText(const std::string& program)
{
    return "Usage: " + program + R"( [options]

A virtual HX300/VR200 IAP bootloader on a pseudo-terminal. It announces its port by a
link in $XDG_RUNTIME_DIR/iap-ports/ (or /tmp/iap-ports-<uid>/ without XDG_RUNTIME_DIR)
and holds an exclusive flock on the file of the link's name with ".lock" appended for as
long as it runs, prints "READY <port> <link>" on stdout and runs until SIGINT or SIGTERM,
which remove both. The lock file's first line is the device's serial number. It keeps the port's slave end open, so the tool may close and reopen
the port; when a program's descriptor of the port closes, the device clears the terminal's
exclusive mode (Linux), so a tool that died holding the port does not lock out the next.
Like a real line, it never waits for a program that has closed the port: what the
pseudo-terminal cannot take while no program has it open is lost (Linux).

Device:
  --model HX300|VR200   device model: HX300 runs at 115200 baud, VR200 at 38400 (HX300)
  --baud N              line rate in baud, overriding the model's (the model's rate)
  --bootloader-version TEXT
                        the bootloader's version text, sent after "Write" in the version
                        reply; "{n}" stands for the device number, 1 for the first (V2.31)
  --flash-base ADDR     first flash address, decimal or 0x-hex (0x08000000)
  --flash-size BYTES    flash size, a whole number of pages (1048576)
  --page-bytes N        bytes in a flash page, from 64 to 65536: each page block received,
                        a read's pages and an erase's pages are this long (2048)
  --image FILE          preload the flash from FILE if it exists; the whole flash is
                        saved to FILE at the end and on SIGUSR2 (no file)
  --erase-ms N          time to erase one page, in ms (20)
  --program-ms N        time to program one page, in ms (10)
  --reply-gap-ms N      silence between two replies, in ms; 0 sends each reply right after
                        the one before, so that replies queued together merge (30)
  --data-gap-ms N       silence between a read's page data and its checksum reply, in ms (30)

Announcement and log:
  --name NAME           name of the link in the announcement folder (iap-sim-<pid>)
  --serial TEXT         serial number written in the lock file; "{n}" as for
                        --bootloader-version (SIM<pid>-{n})
  --log FILE            append the log to FILE instead of stderr (stderr)
  --terminal PATH       serve the terminal PATH (a USB gadget's /dev/ttyGS0, a serial port)
                        instead of a pseudo-terminal of its own, raw at the line rate: the
                        tool reaches the device through the terminal's far end, so nothing
                        is announced and READY names the terminal and "-" for the link

Adapter (how the bytes that leave the device's UART reach the port):
  --adapter CHIP        the USB-serial adapter chip between the device and the port (ideal):
                          ftdi     a packet of at most 62 bytes leaves when full, or when the
                                   16 ms latency timer runs out with bytes buffered; the timer
                                   restarts with every packet, also the status-only one the
                                   chip sends when it runs out with nothing buffered
                          ch340    packets of at most 32 bytes; a partial one leaves once the
                                   line has been idle for 3 ms
                          cp210x   packets of at most 64 bytes; a partial one leaves once the
                                   line has been idle for 2 ms
                          cdc-acm  packets of at most 64 bytes, only on 1 ms frame boundaries
                          ideal    no packets: each byte reaches the port at its stop bit
                        The CH340's and CP210x's idle times approximate the chips, which do
                        not publish them. Each packet is one write to the pseudo-terminal and
                        one log line "PACKET <n> bytes"
  --jitter-ms N         each packet waits a further random 0..N ms, never overtaking the one
                        before; with ideal, each write does (0)
  --seed S              seed of the random choices of --jitter-ms and --split-ms, to repeat a
                        run; without it one is taken from the clock. The CONFIG line names it

Unplugging (the next device is plugged in under the same name, numbered one more, with the
flash the first device had at start, on a new pseudo-terminal unless --fixture):
  --replug-delay-ms N   time between an unplug and the next plug, in ms (500)
  --replug-after-round  unplug once the checksum reply of a download ("ChecksumI") has
                        been read
  --fixture             a fixture whose adapter stays while boards come and go: the
                        pseudo-terminal and the link stay for the whole run, and the next
                        board comes on them. With no board in, the device sends nothing and
                        ignores what it receives (logged as "INFO no board in"); a transfer
                        under way when the board goes is abandoned. The lock file names the
                        serial number of the board in, or nothing
  --switch LINE         cts, dsr, dcd or ri: the board-present switch on that modem-status
                        input, active from PLUG to UNPLUG (logged as SWITCH on|off). A
                        pseudo-terminal has no modem lines, so the file named like the link
                        with ".lines" appended holds the active inputs' names separated by
                        spaces and ended by a newline: "cts\n" with a board in, "\n" without.
                        It is replaced whole (a temporary file renamed) on every change, and
                        exists while the link does

Faults (all off by default; counts are 1-based and start again with every command):
  --drop-ack K          never send the K-th page acknowledgement of a transfer
  --store-wrong-byte K  store the K-th byte of a transfer's pages with its lowest bit
                        flipped, and report the sum of the bytes received all the same
  --wrong-sum           report the byte sum plus one in every checksum reply
  --merge-checksum      send the checksum reply straight after the reply before it
                        (the last acknowledgement, or the read data), as one chunk
  --ok-after K          after the K-th acknowledgement, send "OK" as a chunk of its own
  --silent              log every command and ignore it: no erase, no reply, ever
  --noise TEXT          send TEXT as a chunk of its own after every page acknowledgement
  --hangup-after K      after receiving the K-th page block of a transfer, program it and
                        hang up instead of acknowledging: the pseudo-terminal is closed and
                        the link removed; the process stays until SIGINT/SIGTERM so that
                        its flash can still be saved
  --reply-delay-ms N    every reply leaves N ms later than it would (0)
  --split-ms P          every reply of two bytes or more stops for P ms after a random
                        number of its bytes, drawn from --seed; logged as "FAULT reply split
                        after <k> of <n> bytes" as the reply starts (0)

Signals:
  SIGINT, SIGTERM       save the image (with --image), remove the link and exit
  SIGUSR1               unplug, then plug in the next device; logs UNPLUG and PLUG (with
                        --fixture: take the board out, then put the next one in)
  SIGRTMIN              restart in place: erased flash (not reloaded from the image),
                        idle, replies not yet sent are dropped; a line that has hung up
                        stays down; logs RESTART
  SIGUSR2               save the flash to the --image file; logs SAVED

Line and timing:
  Every byte takes 10 bit times at the line rate in both directions. A frame counts as
  received when its last byte would have arrived on a real line; replies leave at the line
  rate, and two replies are separated by --reply-gap-ms of silence (a read's checksum reply
  follows its data after --data-gap-ms); the adapter chip then groups them into packets,
  which may join the end of one reply and the start of the next. An erase reply follows the
  command after (count + 1) x erase time; a page acknowledgement follows the page after the
  program time.

Exchanges (frames: 11-byte keyword, 4-byte big-endian address, 4-byte big-endian count):
  "Erase      "  erase count + 1 pages from the address's page, reply "Erase ok", then
                 receive count + 1 pages (--page-bytes), each programmed and acknowledged
                 by "Received"; after the last one "ChecksumI" + 4-byte big-endian sum
  "Flash Write"  reply "Write" + version at once, then count + 1 pages, each programmed
                 and acknowledged by "Write"; after the last one "ChecksumW" + sum
  "Flash Read "  stream count pages from the address, then "ChecksumR" + sum
  Sums are the byte sums, mod 2^32, of the pages received or sent. Flash outside
  --flash-base/--flash-size is never touched: reads there give 0xFF, and the access is
  logged as a VIOLATION.

Resynchronisation (every case is logged as a VIOLATION; the device never stops):
  While idle, bytes that cannot begin a command keyword are dropped; a partial command
  followed by 50 ms of silence is dropped. A page block is always a whole page: a partial
  page is kept waiting for the rest (reported once after 2 s of silence), except that
  exactly one command frame followed by 50 ms of silence abandons the transfer and is
  taken as a new command. Pages beyond the announced count arrive while idle and are
  dropped.

Log lines: "<ms since start> <KIND> ...", KIND one of CONFIG, READY, RX CMD <hex>,
RX PAGE <n> <hex>, TX <hex> and TX DATA <summary> (once the reply has wholly reached the
port), PACKET <n> bytes (one per adapter packet as it reaches the port; "PACKET <n> bytes
lost <k>" when k of them found no room while no program had the port open), INFO (among
them "INFO port opened" and "INFO port closed"), FAULT, VIOLATION, PLUG <n> serial
<serial> port <pty> version <version>, UNPLUG <n> serial <serial> port <pty> cause
SIGUSR1|round, SWITCH on|off, RESTART, SAVED, HANGUP, EXIT, RATE <baud> (the rate the tool
has set on its end of the pseudo-terminal, whenever it differs from the last one seen as bytes
arrive; the device's own rate stays), and HELD UP <n> ms when the
machine woke the device that much later than its next byte was due (a silence on the line that
a real device would not have made).

Program:
  -h, --help            print this help and exit
  -V, --version         print the program's version and exit
)";
}

}  // namespace iap::sim
