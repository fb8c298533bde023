#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace iap {

// How an operation ended, and the text that tells it.
class OperationResult {
public:
    enum class Kind {
        Right,            // the device's sum agreed
        ChecksumError,    // the device's sum, or the pages it acknowledged, did not
        ImageUnreadable,  // the image could not be taken: nothing was sent
        PortUnavailable,  // the port could not be opened: nothing was sent
        NoReply,          // the device made no progress for the time allowed
    };

    OperationResult(Kind kind, QString text, std::optional<std::uint32_t> deviceSum = std::nullopt)
        : resultKind(kind), resultText(std::move(text)), reportedSum(deviceSum)
    {
    }
    Kind kind() const { return resultKind; }
    bool isRight() const { return resultKind == Kind::Right; }
    const QString& text() const { return resultText; }
    // The sum the device reported in its checksum reply, when one came.
    std::optional<std::uint32_t> deviceSum() const { return reportedSum; }

private:
    Kind resultKind;
    QString resultText;
    std::optional<std::uint32_t> reportedSum;
};

}  // namespace iap
