#include "protocol/CommandFrame.h"

#include <algorithm>

namespace iap {

QByteArray commandFrame(std::string_view keyword, const Address& address, std::int64_t count)
{
    QByteArray frame(CommandFrameBytes, ' ');
    std::copy_n(keyword.begin(), std::min<std::size_t>(keyword.size(), CommandKeywordBytes), frame.begin());
    std::copy(address.begin(), address.end(), frame.begin() + CommandKeywordBytes);
    frame[15] = char((count / (std::int64_t(1) << 24)) & 0xFF);
    frame[16] = char((count / (std::int64_t(1) << 16)) & 0xFF);
    frame[17] = char((count / (std::int64_t(1) << 8)) & 0xFF);
    frame[18] = char(count & 0xFF);
    return frame;
}

}  // namespace iap
