#include "Help.h"

#include "HelpChoices.h"

namespace iap::cli {
namespace {

const char* const Overview = R"(Usage: iap-cli COMMAND [OPTIONS] [FILE]

Loads firmware into devices and reads their flash back through their IAP bootloader, over
serial ports, without a window. Given --port several times, a command runs on all those ports
at the same time, each with its own device.

Commands:
  ports      list the serial ports, the preferred one first
  doctor     tell what on this machine stands in the way, and how to mend it
  download   download an application image (.bin, Intel HEX, S-record or ELF)
  write      write a flash image (.flash, Intel HEX, S-record or ELF) into the flash
  read       read flash pages back into a file
  program    one round of the automatic sequence: slot 0, slot 1, then the application
  station    a production station: a round on each port whenever a board is put in (its
             port appears, its bootloader answers a probe, or the fixture's switch closes),
             until Ctrl-C
  journal    print the records of earlier runs: a table, CSV or JSON lines
  report     the yield of the boards in the journal, per socket, image, job, day or shift:
             a table, CSV, JSON lines or an HTML page with charts
  job        the job files of a station and of program --job (--help tells their keys and
             unique pages); job pin JOB.json pins one to its images as they are now, so
             that it runs those bytes or nothing
  deliver    send the records that wait in the journal's outbox to the factory's system

Run iap-cli help COMMAND (or iap-cli COMMAND --help) for a command's options and examples,
iap-cli --version (or -V) for the version.
)";

const char* const Verify = R"(
Verify by reading back:
  --verify        once the device's sum agrees, read the pages sent back from the flash and
                  compare them byte for byte: "Verify right", or "Verify error at ADDR" with
                  the first byte that differs (exit 1)
)";

const char* const Delivery = R"(
Delivery to the factory's system:
  --deliver T     each record also goes to T, once: http://host/path or https://host/path
                  (one POST per record, its JSON as iap-cli journal --json prints it, with
                  Content-Type: application/json and Idempotency-Key: the record's UUID), or
                  dir:/path (a file <uuid>.json per record, renamed into place once whole).
                  The record waits in the journal's outbox, written with it, and goes out
                  after the run, never holding it up: 2xx is delivered; 4xx (but 408 and 429)
                  is refused, kept with the answer and not sent again; anything else is tried
                  again after 1 s, 2 s, 4 s ... up to 5 minutes, records in the order kept.
                  After download, write, read and program the records go out for 3 s at most,
                  whatever the exit status; iap-cli deliver sends what is left. Give --deliver
                  once for each of several targets: each gets every record, on its own way
  --deliver-token-file F
                  the bearer token for an HTTP target: the file's first line (else the
                  environment variable IAP_DELIVER_TOKEN); never on the command line
)";

const char* const Common = R"(
Options of every command that talks to a device:
  --port P        the port: its name in the list (ttyUSB0, iap-sim-1234), a path
                  (/dev/ttyUSB0, /dev/serial/by-path/..., /dev/serial/by-id/...), or
                  usb:VID:PID[:SERIAL], the one adapter with that identity (an identity
                  that matches no port or several is refused, and the ports are listed, as
                  is a name or path of no port there is, which only a station waits for); a
                  by-path link names the socket, whatever adapter is plugged into it. Give
                  --port again for more ports, which then run at the same time
  --model M       {model rates}
  --timeout S     a device that makes no progress for S seconds (1 to 3600) ends that
                  port's run with an error naming what was awaited (default 5); bytes that
                  answer nothing are no progress
  --json          one JSON object per line for every event: port, event (status, image,
                  page, sum, version, result), and page, pages, sum, text, file, sha256 or
                  exit as they apply; "image" names the file each transfer sends and the
                  SHA-256 of the bytes sent, taken once before anything was sent; a sum is
                  eight hexadecimal digits, a version the bootloader's text (V2.31)
  --journal LOC   where each port's run goes on record: an SQLite file (default
                  $XDG_DATA_HOME/iap/journal.sqlite, else ~/.local/share/iap/journal.sqlite)
                  or a PostgreSQL database, postgresql://user@host[:port]/db (?host=/socket/
                  folder for a Unix socket, ?passfile=FILE, ?sslmode=MODE), its password from
                  PGPASSWORD, ~/.pgpass or the passfile (one in the URL works, but ps shows
                  it to every user); before anything is sent a record is written and rolled
                  back, and an SQLite journal's disk must have 1 MiB free: nothing is sent
                  when it cannot be written
  --help          this help

Before each command the line must be quiet: what a device still sends of an earlier exchange
(a read given up, say) is thrown away, and the status says "Waiting for the device to stop
sending" meanwhile.

Output: on a terminal one live progress line per port (pages done of all, bytes per second,
time left, of each transfer and then, "verifying", of its read-back); elsewhere plain lines.
At the end one line per port, "<port>: <result>": the device's verdict ("IAP Checksum right",
"Write Checksum error", "Read Checksum right", ...) or what went wrong ("The COMM port is
occupied or doesn't exit!", no reply, a file error). Errors go to standard error too, a port's
failure as "iap-cli: <port>: <result>".

Exit status: 0 when every port ended right; 1 when a device's checksum differed; 2 for a usage
or input error found before anything was sent (nothing is sent to any port then: an empty
image, one that would reach beyond 4 GiB, a port given twice or not there, a read-back file
that cannot be written, ...), or a file that could not be written at the end; 3 when a port could not be
opened or a device stopped answering. Across ports the highest applies. SIGINT (Ctrl-C),
SIGTERM or SIGHUP stop sending, let every port go at once, write no file, and exit with 130,
143 or 129. A reader of the output that goes away stops nothing.
)";

const char* const ReportHelp = R"(Usage: iap-cli report [--since T] [--until T] [--by socket|image|job|day|shift] [--shifts HH:MM,...] [--csv | --json | --html FILE] [--journal LOC]

Tells how the line is doing, from the journal's records of the boards programmed (download,
write, program and station; reads are left out). A board is known by the barcode scanned
for it, else its serial, else the first value of its unique page; a record with none of these is
a board of its own. A board belongs to the group of its first round in the range, and brings all
its rounds there. Per group, and in total:
  boards, rounds      the boards, and the rounds they took
  first pass, final   the share of boards whose first round passed, and whose last round did
  erase, pages,       the median and 95th percentile (nearest rank) of each phase's time over
  verify ms           the passed rounds
  boards/h            boards over the hours from the group's first start to its last end
  failures            the failed rounds by reason (their category), the most first

  --since T       rounds that started at T or later: 2024-05-31, 2024-05-31T14:00, or with a
                  zone, 2024-05-31T14:00+02:00; a time without a zone is UTC
  --until T       rounds that started before T
  --by G          socket (the default; a run of iap-cli itself by its port), image (the
                  application's file and short SHA-256: the last download, else the last
                  flash write), job, day or shift (days and shifts in this machine's local
                  time)
  --shifts LIST   the local times the shifts start (default 06:00,14:00,22:00); a shift is
                  named by its day and start, and one that crosses midnight belongs to the day
                  it started
  --csv           a header row and a row per group, the totals last (their group: (total))
  --json          one JSON object per line per group, then the totals ("totals": true)
  --html FILE     write one HTML page that needs nothing else to be viewed or printed: the
                  table, first-pass yield over time per socket (by hour when the report spans
                  less than two days, else by day) and a Pareto chart of the failure reasons
  --journal LOC   the journal to read (see iap-cli journal --help); it is only read: nothing
                  is written and no file or folder is made

Exit status: 0, also when no round matches; 2 for a bad option, a journal that does not exist
or cannot be read or reached, or an HTML file that cannot be written.

Examples:
  iap-cli report --since 2024-05-01 --until 2024-06-01
  iap-cli report --by shift --shifts 06:00,18:00 --since 2024-05-31
  iap-cli report --by image --csv > yield.csv
  iap-cli report --since 2024-05-31 --html yield.html
  iap-cli report --journal postgresql://line@db.example:5432/production --by day --json
)";

QString commandHelp(Command command)
{
    switch (command) {
    case Command::Ports:
        return QStringLiteral(R"(Usage: iap-cli ports [--json]

Lists the serial ports, one per line, with the same texts as the window's port list: the port's
name, then what the adapter is (description, maker, usb VID:PID, serial number, as far as the
system tells), the preferred port (a USB, VCP or serial adapter) first. With --json, one object
per port: name, path, byPath and byId (udev's stable links), description, manufacturer, vid,
pid, serial and preferred.

Examples:
  iap-cli ports
  iap-cli ports --json
)");
    case Command::Doctor:
        return QStringLiteral(R"(Usage: iap-cli doctor

Checks this machine and prints, per finding, what is wrong and the command that mends it: the
ports visible and whether this user may open each one (its owner, group and mode, and the
package's udev rule /lib/udev/rules.d/60-iap.rules, which gives the user logged in at the seat
the ports of USB serial adapters), brltty's rules that take USB serial adapters for braille
displays, ModemManager probing new ports, an FTDI adapter's latency timer above 1 ms (every
reply comes that much later), a sound device for the tone, and the folder where virtual devices
announce themselves. Exit status 0 when nothing stands in the way, 1 when something does.

Example:
  iap-cli doctor
)");
    case Command::Deliver:
        return QStringLiteral(R"(Usage: iap-cli deliver [--journal LOC] [--deliver T]... [--deliver-token-file F]

Sends the records that wait in the journal's outbox now: for each target T given, or for every
target records wait for. Each target's records go one at a time in the order they were kept,
until none is left or a try fails (it is tried again by the next program that delivers, see
--deliver below). Prints, per target, what went and what is left. Other programs delivering
from the same journal at the same time (stations, iap-cli runs) never send the same record at
the same time.

Exit status: 0 when nothing is left waiting or refused; 1 when something still waits or was
refused (iap-cli journal --undelivered lists them); 2 for a bad option or a journal that
cannot be read or reached.

Examples:
  iap-cli deliver
  IAP_DELIVER_TOKEN=... iap-cli deliver --deliver https://mes.example/api/records
  iap-cli deliver --journal postgresql://line@db.example/production --deliver-token-file /etc/iap/mes-token
)") + QLatin1String(Delivery);
    case Command::Journal:
        return QStringLiteral(R"(Usage: iap-cli journal [--since T] [--port P] [--result pass|fail] [--serial SN] [--csv | --json] [--journal LOC]
       iap-cli journal --undelivered [--csv | --json] [--journal LOC]

Prints the records of earlier runs, oldest first, one per port and run: when it started and
ended (UTC), the host, the station's socket, the port with its by-path link and USB identity,
the model, the address, each step (its kind, file, size, SHA-256, format, the addresses it
sent, pages, the device's sum and verdict), the bootloader's version, pass or fail with the result text and its category, and
how long it took; a board's unique page adds the values written into it (its serial number, MAC
address, list line, barcode, time, CRC). The default is an aligned table of the main fields; --csv gives every field
with a header row (the steps as JSON in the last column), --json one JSON object per line.

  --since T       records that started at T or later: 2024-05-31, 2024-05-31T14:00, or with a
                  zone, 2024-05-31T14:00+02:00; a time without a zone is UTC
  --port P        records of that port: its name, path or by-path link, or a socket's name
  --result R      pass or fail
  --serial SN     the records of the board whose unique page got the serial number SN
  --undelivered   the records that wait in the outbox for their delivery target, or were
                  refused by it, with the target, the state (waiting or refused), the tries,
                  the last try (UTC) and the last error or the receiver's answer (CSV and
                  JSON: deliveryTarget, deliveryState, deliveryTries, deliveryLastTry,
                  deliveryLastError, after the record's own fields)
  --journal LOC   the journal to read (see the device commands' help); default
                  $XDG_DATA_HOME/iap/journal.sqlite. It is only read, also when another
                  user's: nothing is written and no file or folder is made

Exit status: 0, also when no record matches; 2 for a bad option or a journal that does not
exist or cannot be read or reached.

Examples:
  iap-cli journal
  iap-cli journal --since 2024-05-31 --result fail
  iap-cli journal --port ttyUSB0 --csv > runs.csv
  iap-cli journal --serial SN-000123
  iap-cli journal --undelivered
  iap-cli journal --journal postgresql://line@db.example:5432/production --json
)");
    case Command::Report:
        return QString::fromUtf8(ReportHelp);
    case Command::Job:
        return QStringLiteral(R"(Usage: iap-cli job pin JOB.json

A job file tells a station (iap --station, iap-cli station) and iap-cli program --job what
each round does. It is a JSON object of these keys, each optional:
  "model"           {model names}
  "address"         the application's address, eight hexadecimal digits
  "slot0", "slot1", "application"
                    the images, by file names relative to the job file
  "verify"          true: read each image back and compare it
  "trigger", "switch", "probeAddress", "probeMs"
                    how a board put in is told (see iap-cli station --help)
  "unique"          a page of each board's own values, written after the round's other steps
  "barcode"         true: each board needs the code scanned for it
  "repeatBarcodes"  true: a code may go to several boards
  "deliver"         where each record goes besides the journal, as --deliver: a target, or
                    a list of them
  "sha256"          the SHA-256 of the images, written by iap-cli job pin
Another key, or a value of another type, loads nothing.

A unique page: one flash page of its own, outside the job's images, 0xFF but for its fields,
written as a flash write of one page at the end of each round (read back with "verify"):
  "unique": {
    "address": "0807F800",
    "onFailure": "burn",
    "fields": [
      {"name": "serial", "kind": "serial", "offset": 0, "width": 12, "start": 1, "end": 999999, "format": "SN-{:06}"},
      {"name": "id", "kind": "serial", "offset": 12, "start": 100000, "step": 10, "binary": "u32le", "pool": "board-id"},
      {"name": "mac", "kind": "mac", "offset": 16, "first": "02:00:5E:10:00:00", "last": "02:00:5E:10:FF:FF"},
      {"name": "key", "kind": "list", "offset": 24, "width": 40, "file": "keys.txt"},
      {"name": "code", "kind": "barcode", "offset": 64, "width": 24},
      {"name": "made", "kind": "time", "offset": 88, "binary": "u32le"},
      {"name": "crc", "kind": "crc32", "offset": 92, "from": 0, "to": 92}
    ]
  }
Field kinds:
  serial    a counter from "start" by "step" (1) up to "end" (optional), as text by "format"
            ({}, {:6}, {:06}, {:x}, {:08X}; {{ and }} are braces) in "width" bytes, or as a
            number by "binary": u32le, u32be, u64le or u64be
  mac       the next address from "first" to "last", its six bytes in the order written
  list      the next unused line of "file" (relative to the job file)
  barcode   the code scanned for the board
  time      the round's start in UTC seconds, u32le (the default) or u64le
  crc32     the CRC-32 (IEEE) of the page's bytes from "from" to "to" (not included), after
            every other field; u32le (the default) or u32be
Text is UTF-8 followed by zero bytes up to its width. Overlapping fields, a field beyond the
page, a value too wide for its field and a page within an image are refused when the job is
loaded. Serials, MACs and list lines are drawn from pools in the journal (named by "pool", by
default the field's name): programs and stations that share a journal never give a value
twice, and a pool used up starts nothing (exit 2). A round that fails after its page went out
keeps its values from every later board with "onFailure": "burn" (the default); "reuse" gives
them back unless the device confirmed the page ("reuseWritten": true: then too). Every value
is in the board's record; iap-cli journal --serial finds the board.

iap-cli job pin JOB.json pins the job to its images as they are now, for a job that quality
released: each image the job names is taken as a round takes it, and the SHA-256 of the bytes
a device is sent goes into the file as "sha256": {"slot0": "...", "application": "..."}. Every
other key stays as it was, and the file is replaced whole. A pinned job runs those bytes or
nothing: it is refused, sending nothing, when one of its images has changed since, is
missing, or is not pinned. Pin the job again once new images are released.

Exit status: 0 when the job was pinned; 2 when the job file cannot be loaded or written or an
image cannot be taken (the file is then unchanged).

Examples:
  iap-cli job pin line3.json
  iap --station --operator line3.json
  iap-cli program --port ttyUSB0 --job line3.json --barcode 4006381333931
)");
    case Command::Download:
        return QStringLiteral(R"(Usage: iap-cli download --port P [--port P2 ...] [--model {models}] [--address ADDR] [--verify] APP

Downloads the application image APP into the device at ADDR (eight hexadecimal digits,
0x allowed): the erase command, then one page of {page} per acknowledgement, then the
device's checksum is compared ("IAP Checksum right" or "IAP Checksum error"). A raw image
(.bin) needs --address. An Intel HEX, S-record or ELF file (told by its content; a name such
as .hex must be borne out by it, and text that begins as records is never sent as raw bytes)
goes to its own address, aligned down to its page, gaps erased (0xFF); --address is then
optional and must not differ from it.

Examples:
  iap-cli download --port ttyUSB0 --address 08004000 app.bin
  iap-cli download --port ttyUSB0 app.hex
  iap-cli download --port ttyUSB0 --port ttyUSB1 --port ttyUSB2 --address 0x08004000 app.bin
)") + QLatin1String(Verify) + QLatin1String(Delivery) + QLatin1String(Common);
    case Command::Write:
        return QStringLiteral(R"(Usage: iap-cli write --port P [--port P2 ...] [--model {models}] [--address ADDR] [--verify] IMAGE.flash

Writes the flash image into the device's flash. An image that begins with a header page
(the text "Flash Write" and four address bytes) goes to the header's address; --address is
then optional and must not differ from it. So is an Intel HEX, S-record or ELF file, which
goes to its own address. A plain image needs --address.

Examples:
  iap-cli write --port ttyUSB0 calibration.flash
  iap-cli write --port ttyUSB0 calibration.s37
  iap-cli write --port ttyUSB0 --model VR200 --address 08010000 plain.flash
)") + QLatin1String(Verify) + QLatin1String(Delivery) + QLatin1String(Common);
    case Command::Read:
        return QStringLiteral(R"(Usage: iap-cli read --port P [--port P2 ...] [--model {models}] --address ADDR --pages N -o OUT.bin

Reads N pages of {page} ({read pages}) from ADDR into OUT.bin. The file is written only once
the device's checksum agrees ("Read Checksum right"), all at once: never half a file, never a
file from a wrong sum. With several ports, OUT must contain {port}, which becomes the port's
base name.

Examples:
  iap-cli read --port ttyUSB0 --address 08000000 --pages 64 -o flash.bin
  iap-cli read --port ttyUSB0 --port ttyUSB1 --address 08000000 --pages 64 -o flash-{port}.bin
)") + QLatin1String(Delivery) + QLatin1String(Common);
    case Command::Program:
        return QStringLiteral(R"(Usage: iap-cli program --port P [--port P2 ...] [--job JOB.json] [--model {models}] [--address ADDR] [--slot0 A.flash] [--slot1 B.flash] [--app APP.bin] [--barcode CODE] [--verify]

One round of the window's automatic sequence on every port at once: writes the slot 0 image,
then the slot 1 image, then downloads the application, each step skipped when its file is
not given. A port stops at its first step that does not end right. --address is needed for
a raw application and for flash images without a header page; a header page's address and an
Intel HEX, S-record or ELF file's own win over it.

The round may come from a job file, as the station's (see iap-cli job --help); the job
options given beside it win over the file's. A job with a unique page ends each port's round
with a flash write of one page of that board's own values; --barcode gives the code scanned
for the board, which the page may carry and the board's record keeps. A job that needs each board's code ("barcode": true, or a unique page
that carries it) is refused without --barcode. A pool of values that is used up, a code a
board has passed with already (unless the job has "repeatBarcodes": true) and one --barcode
for several ports are refused before anything is sent (exit 2); a code refused so is on record
as a station's is (a failed record with the code, "input error", without steps).

Examples:
  iap-cli program --port ttyUSB0 --port ttyUSB1 --address 08004000 --slot0 boot.flash --app app.bin
  iap-cli program --port ttyUSB0 --job line3.json --barcode 4006381333931
)") + QLatin1String(Verify) + QLatin1String(Delivery) + QLatin1String(Common);
    case Command::Station:
        return QStringLiteral(R"(Usage: iap-cli station --port P [--port P2 ...] [--job JOB.json] [--model {models}] [--address ADDR] [--slot0 A.flash] [--slot1 B.flash] [--app APP.bin] [--continuous S] [--verify] [--trigger {triggers}] [--switch cts|dsr|dcd|ri] [--probe-address ADDR] [--probe-ms MS] [--barcodes FILE|-]

A production station without a window. Each port is a socket: a round (as for program) starts
when a board is put in, and the socket waits for the next board once the board is taken out.
With --continuous S, a round also starts S seconds after each verdict while the board stays.
The job comes from a job file saved by the station window (--job), and the job options given
beside it win over the file's. One line per round per port ("PASS", or "FAIL" and why); on
Ctrl-C a running round is stopped and each port's passes and fails are told. Exit status: 0
when no round failed or was stopped, 1 otherwise, 2 when no round could start. With a
delivery target the station delivers all along, also what earlier runs left waiting, and
prints a line whenever that changes ("delivery: 3 records not yet delivered, last try 12:04:
Connection refused"; with several targets each one's after its name; with --json a "delivery"
event with its text).

How a board put in is told, for every port (--trigger):
{trigger kinds}
A board taken out during a round ends it at once as "board removed" (so is it on record), and
the next board gets a round of its own. With probe, nothing may be asked while a round talks
to the board: a round that gets no reply for --timeout seconds asks at once, and is "board
removed" when the probe goes unanswered. A fixture's port that vanishes during a round ends
it as "port lost".

Every round goes on record in the journal. Before each round the journal proves it can take
the record; while it cannot, no round starts, and a board waiting in its socket is programmed
once it can (asked every 2 s). A port that is not there yet is waited for where a port of
that name appears (ttyUSB0 as /dev/ttyUSB0, a virtual device's name, a path), never as a file
of the working folder.

A job that needs each board's barcode ("barcode": true, or a unique page that carries it)
starts no round for a board put in until a code is given for it, and is refused without
--barcodes (exit 2). --barcodes FILE reads lines of CODE or SOCKET CODE (SOCKET a --port as
given) from FILE, also lines appended while the station runs; --barcodes - from the standard
input. A code goes to the socket named, else to the board that has waited longest for its
code, else it waits for the next board put in (the oldest code first). A code belongs to one
board: taken out, the next board needs a new one. A code a board has passed with already is
refused unless the job has "repeatBarcodes": true: no round starts, the refusal is on record
(a failed round, "input error") and the socket waits for another code. The round's line
tells the code (", barcode CODE"; with --json "barcode").

The job file's keys, its unique page of each board's own values (serial numbers, MAC
addresses, lines of a list, the barcode, the time, a CRC-32) and pinning are told by iap-cli
job --help; "deliver" (the delivery targets, as --deliver) is one of them, and --deliver wins
over it. Values are drawn from pools in the journal: stations that share a journal never
give a value twice, and a pool used up starts nothing (exit 2).

Examples:
  iap-cli station --port /dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0 --port ttyUSB1 --job line3.json
  iap-cli station --port ttyUSB0 --port ttyUSB1 --job line3.json --trigger line --switch dsr
  iap-cli station --port ttyUSB0 --job line3.json --trigger probe --probe-address 08000000 --probe-ms 500
  iap-cli station --port ttyUSB0 --port ttyUSB1 --job line3.json --barcodes scanned.txt
)") + QLatin1String(Verify) + QLatin1String(Delivery) + QLatin1String(Common);
    }
    return {};
}

}  // namespace

QString helpText(std::optional<Command> command)
{
    return withChoices(command ? commandHelp(*command) : QString::fromLatin1(Overview));
}

}  // namespace iap::cli
