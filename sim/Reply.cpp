#include "Reply.h"

#include "Hex.h"

#include <algorithm>
#include <memory>

namespace iap::sim {

Reply Reply::text(std::string bytes, Nanos notBefore)
{
    auto shared = std::make_shared<const std::string>(std::move(bytes));
    Reply reply;
    reply.length = shared->size();
    reply.fill = [shared](std::uint64_t offset, std::uint8_t* out, std::size_t length) {
        std::copy_n(shared->data() + offset, length, out);
    };
    reply.logText = hexBytes(reinterpret_cast<const std::uint8_t*>(shared->data()), shared->size());
    reply.notBefore = notBefore;
    return reply;
}

}  // namespace iap::sim
