// Any datagram into the discovery reply decoder: only a whole message decodes, and its texts stop
// at their NUL or at the datagram's end, never past it (the sanitizer sees any read beyond).
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "discovery/discovery_reply.h"
#include "fuzz_check.h"
#include "quiet_traces.h"

namespace {

// A decoded text is a run of the datagram's bytes that ends at a NUL or at the datagram's end.
bool isTextOfMessage(const std::string& text, const uint8_t* data, std::size_t size)
{
    if (text.find('\0') != std::string::npos)
        return false;
    const std::string message(reinterpret_cast<const char*>(data), size);
    for (auto at = message.find(text); at != std::string::npos; at = message.find(text, at + 1)) {
        const std::size_t end = at + text.size();
        if (end == size || message[end] == '\0')
            return true;
    }
    return false;
}

void checkDecoded(const uint8_t* data, std::size_t size)
{
    DiscoveryReply reply{"mac", "ip", "model", "mode"};
    const bool decoded = decodeDiscoveryReply(data, size, reply);
    FUZZ_CHECK(decoded == (size == kDiscoveryMessageSize));
    if (!decoded) {
        FUZZ_CHECK(reply.mac == "mac" && reply.ip == "ip" && reply.model == "model" && reply.mode == "mode");
        return;
    }
    FUZZ_CHECK(reply.mode == "Static" || reply.mode == "DHCP");
    for (const std::string* text : {&reply.mac, &reply.ip, &reply.model})
        FUZZ_CHECK(isTextOfMessage(*text, data, size));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    silenceTraces();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    checkDecoded(data, size);

    // Most inputs are not one message long: the same bytes cut or stretched to one, in a buffer of
    // exactly that size, with the input's last byte repeated so a text may run to the end.
    auto message = std::make_unique<uint8_t[]>(kDiscoveryMessageSize);
    const uint8_t fill = size > 0 ? data[size - 1] : 0;
    std::fill_n(message.get(), kDiscoveryMessageSize, fill);
    std::copy_n(data, std::min(size, kDiscoveryMessageSize), message.get());
    checkDecoded(message.get(), kDiscoveryMessageSize);

    DiscoveryReply reply;
    FUZZ_CHECK(!decodeDiscoveryReply(nullptr, kDiscoveryMessageSize, reply));
    return 0;
}
