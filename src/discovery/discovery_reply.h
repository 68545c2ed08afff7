// The fixed layout of the discovery exchange and the decoding of one camera reply.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

constexpr std::size_t kDiscoveryMessageSize = 334;

struct DiscoveryReply {
    std::string mac;
    std::string ip;
    std::string model;
    std::string mode;  // "Static" or "DHCP"
};

// The cameras that answered one request: MAC address to the address the reply named.
using ReplyAddresses = std::map<std::string, std::string>;

// Decodes a datagram; false, and reply untouched, unless it is exactly one message long.
// A text without its NUL runs on into the next field but never past the datagram.
bool decodeDiscoveryReply(const uint8_t* data, std::size_t size, DiscoveryReply& reply);
