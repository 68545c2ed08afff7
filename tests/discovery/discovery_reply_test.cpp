#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "discovery/discovery_reply.h"

namespace {

// A reply as a camera lays it out; the helpers put a text with its NUL at an offset.
std::vector<uint8_t> reply(uint8_t modeByte)
{
    std::vector<uint8_t> data(kDiscoveryMessageSize, 0);
    auto put = [&data](std::size_t offset, const char* text) {
        std::memcpy(data.data() + offset, text, std::strlen(text) + 1);
    };
    put(19, "02:4C:41:42:00:10");
    put(37, "192.168.1.10");
    put(109, "LAB-IPC-2100");
    data[132] = modeByte;
    return data;
}

}  // namespace

TEST(DecodeDiscoveryReply, ReadsTheFourFields)
{
    DiscoveryReply decoded;
    const std::vector<uint8_t> data = reply(0);
    ASSERT_TRUE(decodeDiscoveryReply(data.data(), data.size(), decoded));
    EXPECT_EQ(decoded.mac, "02:4C:41:42:00:10");
    EXPECT_EQ(decoded.ip, "192.168.1.10");
    EXPECT_EQ(decoded.model, "LAB-IPC-2100");
    EXPECT_EQ(decoded.mode, "Static");
}

TEST(DecodeDiscoveryReply, ModeByteZeroIsStaticAnyOtherDhcp)
{
    const std::pair<uint8_t, const char*> cases[] = {{0, "Static"}, {1, "DHCP"}, {2, "DHCP"}, {255, "DHCP"}};
    for (const auto& [modeByte, mode] : cases) {
        DiscoveryReply decoded;
        const std::vector<uint8_t> data = reply(modeByte);
        ASSERT_TRUE(decodeDiscoveryReply(data.data(), data.size(), decoded));
        EXPECT_EQ(decoded.mode, mode) << "mode byte " << int(modeByte);
    }
}

TEST(DecodeDiscoveryReply, OnlyExactlyOneMessageLongIsAReply)
{
    const std::vector<uint8_t> big = reply(1);
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{133}, kDiscoveryMessageSize - 1}) {
        DiscoveryReply decoded{"mac", "ip", "model", "mode"};
        EXPECT_FALSE(decodeDiscoveryReply(big.data(), size, decoded)) << size;
        EXPECT_EQ(decoded.mac, "mac");
        EXPECT_EQ(decoded.model, "model");
    }
    std::vector<uint8_t> longer = reply(1);
    longer.push_back(0);
    DiscoveryReply decoded;
    EXPECT_FALSE(decodeDiscoveryReply(longer.data(), longer.size(), decoded));
    EXPECT_FALSE(decodeDiscoveryReply(nullptr, kDiscoveryMessageSize, decoded));
}

TEST(DecodeDiscoveryReply, UnterminatedTextRunsIntoTheNextFieldButNotPastTheEnd)
{
    // An 18-character MAC leaves no room for its NUL: it continues into the address text.
    std::vector<uint8_t> data = reply(1);
    std::memcpy(data.data() + 19, "00-1A-2B-3C-4D-5EX", 18);
    DiscoveryReply decoded;
    ASSERT_TRUE(decodeDiscoveryReply(data.data(), data.size(), decoded));
    EXPECT_EQ(decoded.mac, "00-1A-2B-3C-4D-5EX192.168.1.10");
    EXPECT_EQ(decoded.ip, "192.168.1.10");

    // A model without NUL before 132 takes the mode byte and what follows, up to the next NUL.
    data = reply(1);
    std::memset(data.data() + 109, 'M', 23);
    data[132] = 'D';
    data[133] = 'Z';
    ASSERT_TRUE(decodeDiscoveryReply(data.data(), data.size(), decoded));
    EXPECT_EQ(decoded.model, std::string(23, 'M') + "DZ");
    EXPECT_EQ(decoded.mode, "DHCP");

    // No NUL at all up to the last byte: the text stops at the end of the datagram.
    std::memset(data.data() + 109, 'Q', kDiscoveryMessageSize - 109);
    ASSERT_TRUE(decodeDiscoveryReply(data.data(), data.size(), decoded));
    EXPECT_EQ(decoded.model, std::string(kDiscoveryMessageSize - 109, 'Q'));
}
