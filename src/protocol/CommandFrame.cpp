#include "protocol/CommandFrame.h"

#include <algorithm>

namespace iap {

CommandFrame MakeCommandFrame(std::string_view keyword, const std::array<std::uint8_t, 4>& address, std::int64_t count)
{
    CommandFrame frame{};
    frame.fill(' ');
    std::copy_n(keyword.begin(), std::min<std::size_t>(keyword.size(), CommandKeywordBytes), frame.begin());
    std::copy(address.begin(), address.end(), frame.begin() + CommandKeywordBytes);
    frame[15] = std::uint8_t((count / (std::int64_t(1) << 24)) & 0xFF);
    frame[16] = std::uint8_t((count / (std::int64_t(1) << 16)) & 0xFF);
    frame[17] = std::uint8_t((count / (std::int64_t(1) << 8)) & 0xFF);
    frame[18] = std::uint8_t(count & 0xFF);
    return frame;
}

}  // namespace iap
