#include "Help.h"

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
  job        job pin JOB.json: pin a station's job file to its images as they are now, so
             that a station runs those bytes or nothing
  deliver    send the records that wait in the journal's outbox to the factory's system

Run iap-cli COMMAND --help for a command's options and examples, iap-cli --version for the
version.
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
                  whatever the exit status; iap-cli deliver sends what is left
  --deliver-token-file F
                  the bearer token for an HTTP target: the file's first line (else the
                  environment variable IAP_DELIVER_TOKEN); never on the command line
)";

const char* const Common = R"(
Options of every command that talks to a device:
  --port P        the port: its name in the list (ttyUSB0, iap-sim-1234), a path
                  (/dev/ttyUSB0, /dev/serial/by-path/..., /dev/serial/by-id/...), or
                  usb:VID:PID[:SERIAL], the one adapter with that identity (an identity
                  that matches no port or several is refused, and the ports are listed); a
                  by-path link names the socket, whatever adapter is plugged into it. Give
                  --port again for more ports, which then run at the same time
  --model M       HX300 (115200 baud, the default) or VR200 (38400 baud)
  --timeout S     a device that makes no progress for S seconds (1 to 3600) ends that
                  port's run with an error naming what was awaited (default 5); bytes that
                  answer nothing are no progress
  --json          one JSON object per line for every event: port, event (status, image,
                  page, sum, version, result), and page, pages, sum, text, file, sha256 or
                  exit as they apply; "image" names the file each transfer sends and the
                  SHA-256 of the bytes sent, taken once before anything was sent
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
time left); elsewhere plain lines. At the end one line per port, "<port>: <result>": the
device's verdict ("IAP Checksum right", "Write Checksum error", "Read Checksum right", ...) or
what went wrong ("The COMM port is occupied or doesn't exit!", no reply, a file error).

Exit status: 0 when every port ended right; 1 when a device's checksum differed; 2 for a usage
or input error found before anything was sent (nothing is sent to any port then: an empty
image, one that would reach beyond 4 GiB, a port given twice, a read-back file that cannot be
written, ...), or a file that could not be written at the end; 3 when a port could not be
opened or a device stopped answering. Across ports the highest applies. SIGINT (Ctrl-C),
SIGTERM or SIGHUP stop sending, let every port go at once, write no file, and exit with 130,
143 or 129. A reader of the output that goes away stops nothing.
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
ports visible and whether this user may open each one (the group dialout), brltty's rules that
take USB serial adapters for braille displays, ModemManager probing new ports, an FTDI adapter's
latency timer above 1 ms (every reply comes that much later), a sound device for the tone, and
the folder where virtual devices announce themselves. Exit status 0 when nothing
stands in the way, 1 when something does.

Example:
  iap-cli doctor
)");
    case Command::Deliver:
        return QStringLiteral(R"(Usage: iap-cli deliver [--journal LOC] [--deliver T] [--deliver-token-file F]

Sends the records that wait in the journal's outbox now: for the target T, or for every target
records wait for. Each target's records go one at a time in the order they were kept, until
none is left or a try fails (it is tried again by the next program that delivers, see
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
    case Command::Job:
        return QStringLiteral(R"(Usage: iap-cli job pin JOB.json

Pins a station's job file to its images as they are now, for a job that quality released:
each image the job names (slot0, slot1, application) is taken as a round takes it, and the
SHA-256 of the bytes a device is sent goes into the file as "sha256": {"slot0": "...",
"application": "..."}. Every other key stays as it was, and the file is replaced whole.

A pinned job runs those bytes or nothing: the station (iap --station, iap --station --operator
and iap-cli station) refuses it, sending nothing, when one of its images has changed since,
is missing, or is not pinned. Pin the job again once new images are released.

Exit status: 0 when the job was pinned; 2 when the job file cannot be loaded or written or an
image cannot be taken (the file is then unchanged).

Examples:
  iap-cli job pin line3.json
  iap --station --operator line3.json
)");
    case Command::Download:
        return QStringLiteral(R"(Usage: iap-cli download --port P [--port P2 ...] [--model HX300|VR200] [--address ADDR] [--verify] APP

Downloads the application image APP into the device at ADDR (eight hexadecimal digits,
0x allowed): the erase command, then one page of 2048 bytes per acknowledgement, then the
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
        return QStringLiteral(R"(Usage: iap-cli write --port P [--port P2 ...] [--model HX300|VR200] [--address ADDR] [--verify] IMAGE.flash

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
        return QStringLiteral(R"(Usage: iap-cli read --port P [--port P2 ...] [--model HX300|VR200] --address ADDR --pages N -o OUT.bin

Reads N pages of 2048 bytes (1 to 1025) from ADDR into OUT.bin. The file is written only once
the device's checksum agrees ("Read Checksum right"), all at once: never half a file, never a
file from a wrong sum. With several ports, OUT must contain {port}, which becomes the port's
base name.

Examples:
  iap-cli read --port ttyUSB0 --address 08000000 --pages 64 -o flash.bin
  iap-cli read --port ttyUSB0 --port ttyUSB1 --address 08000000 --pages 64 -o flash-{port}.bin
)") + QLatin1String(Delivery) + QLatin1String(Common);
    case Command::Program:
        return QStringLiteral(R"(Usage: iap-cli program --port P [--port P2 ...] [--job JOB.json] [--model HX300|VR200] [--address ADDR] [--slot0 A.flash] [--slot1 B.flash] [--app APP.bin] [--barcode CODE] [--verify]

One round of the window's automatic sequence on every port at once: writes the slot 0 image,
then the slot 1 image, then downloads the application, each step skipped when its file is
not given. A port stops at its first step that does not end right. --address is needed for
a raw application and for flash images without a header page; a header page's address and an
Intel HEX, S-record or ELF file's own win over it.

The round may come from a job file, as the station's (see iap-cli station --help); the job
options given beside it win over the file's. A job with a unique page ends each port's round
with a flash write of one page of that board's own values (see the README, "Unique data per
board"); --barcode gives the code scanned for the board, which the page may carry. A pool of
values that is used up is refused before anything is sent (exit 2).

Examples:
  iap-cli program --port ttyUSB0 --port ttyUSB1 --address 08004000 --slot0 boot.flash --app app.bin
  iap-cli program --port ttyUSB0 --job line3.json --barcode 4006381333931
)") + QLatin1String(Verify) + QLatin1String(Delivery) + QLatin1String(Common);
    case Command::Station:
        return QStringLiteral(R"(Usage: iap-cli station --port P [--port P2 ...] [--job JOB.json] [--model HX300|VR200] [--address ADDR] [--slot0 A.flash] [--slot1 B.flash] [--app APP.bin] [--continuous S] [--verify] [--trigger appear|probe|line] [--switch cts|dsr|dcd|ri] [--probe-address ADDR] [--probe-ms MS]

A production station without a window. Each port is a socket: a round (as for program) starts
when a board is put in, and the socket waits for the next board once the board is taken out.
With --continuous S, a round also starts S seconds after each verdict while the board stays.
The job comes from a job file saved by the station window (--job), and the job options given
beside it win over the file's. One line per round per port ("PASS", or "FAIL" and why); on
Ctrl-C a running round is stopped and each port's passes and fails are told. Exit status: 0
when no round failed or was stopped, 1 otherwise, 2 when no round could start. With a
delivery target the station delivers all along, also what earlier runs left waiting, and
prints a line whenever that changes ("delivery: 3 records not yet delivered, last try 12:04:
Connection refused"; with --json a "delivery" event with its text).

How a board put in is told, for every port (--trigger):
  appear          the port appears: the adapter comes with the board (the default); it must
                  stay 100 ms. The port vanishing is the board taken out
  probe           the adapter stays in the fixture and the port is held open: every
                  --probe-ms (1000 by default, 100 to 60000) the station reads one page of
                  flash at --probe-address (default --address), which changes nothing on
                  the device. A checksum reply, right or wrong, is a board in; no answer
                  within a page's time and 0.5 s is none, and a board in is out once a probe
                  goes unanswered
  line            the adapter stays in the fixture and a switch that closes while a board
                  lies in it is wired to its modem-status input --switch (cts, the default,
                  dsr, dcd or ri): active is a board in, inactive a board out. A virtual
                  device publishes its inputs in the file <its link>.lines
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

A job file is a JSON object of the keys "model" ("HX300" or "VR200"), "address" (eight
hexadecimal digits), "slot0", "slot1" and "application" (file names, relative to the job
file), "verify" (true or false), "trigger" ("appear", "probe" or "line"), "switch" ("cts",
"dsr", "dcd" or "ri"), "probeAddress" (eight hexadecimal digits), "probeMs" (a whole
number), "unique" (a page of each board's own values, written after the round's other
steps: serial numbers, MAC addresses, lines of a list, the barcode, the time, a CRC-32; see
the README, "Unique data per board") and "sha256" (the SHA-256 of its images, written by
iap-cli job pin: the job then runs only those images, and is refused when one has changed);
"deliver" (the delivery target, as --deliver; --deliver wins over it); another key or a
value of another type loads nothing. Values are drawn from pools in the
journal: stations that share a journal never give a value twice, and a pool used up starts
nothing (exit 2).

Examples:
  iap-cli station --port /dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0 --port ttyUSB1 --job line3.json
  iap-cli station --port ttyUSB0 --port ttyUSB1 --job line3.json --trigger line --switch dsr
  iap-cli station --port ttyUSB0 --job line3.json --trigger probe --probe-address 08000000 --probe-ms 500
)") + QLatin1String(Verify) + QLatin1String(Delivery) + QLatin1String(Common);
    }
    return {};
}

}  // namespace

QString helpText(std::optional<Command> command)
{
    return command ? commandHelp(*command) : QString::fromLatin1(Overview);
}

}  // namespace iap::cli
