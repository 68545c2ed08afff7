#include "discovery/discovery_reply.h"

namespace {

constexpr std::size_t kMacOffset = 19;
constexpr std::size_t kIpOffset = 37;
constexpr std::size_t kModelOffset = 109;
constexpr std::size_t kModeOffset = 132;
constexpr uint8_t kStaticMode = 0;

// The text from offset up to its NUL, or up to the end of the datagram when it has none.
std::string readText(const uint8_t* data, std::size_t size, std::size_t offset)
{
    std::string text;
    if (offset >= size)
        return text;
    for (std::size_t at = offset; at < size && data[at] != 0; ++at)
        text.push_back(static_cast<char>(data[at]));
    return text;
}

}  // namespace

bool decodeDiscoveryReply(const uint8_t* data, std::size_t size, DiscoveryReply& reply)
{
    if (data == nullptr || size != kDiscoveryMessageSize)
        return false;
    static_assert(kModeOffset < kDiscoveryMessageSize, "mode byte lies inside a reply");
    if (kModeOffset >= size)
        return false;

    reply.mode = data[kModeOffset] == kStaticMode ? "Static" : "DHCP";
    reply.model = readText(data, size, kModelOffset);
    reply.ip = readText(data, size, kIpOffset);
    reply.mac = readText(data, size, kMacOffset);
    return true;
}
