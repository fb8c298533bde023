#pragma once

namespace iap {

// The read rules every reply is delimited by and the port's write bound, as the device's own
// tools have always kept them.
struct LineTiming {
    // A poll asks for at most this many bytes: one page's buffer less the byte a sender owns.
    static constexpr int ReadRequestBytes = 2047;
    // A reply has ended once the line has been silent this long.
    static constexpr int ReplySilenceMs = 20;
    // How long a poll with nothing to receive waits: the port's read time-out, 1 ms for each byte
    // asked for and 1 ms more.
    static constexpr int ReadMsPerByte = 1;
    static constexpr int ReadConstantMs = 1;
    static constexpr int PollMs = ReadRequestBytes * ReadMsPerByte + ReadConstantMs;
    // How long the bytes written may take to leave: the port's write time-out for a full page,
    // 1 ms a byte and 10 ms more.
    static constexpr int WriteMsPerByte = 1;
    static constexpr int WriteConstantMs = 10;
};

}  // namespace iap
