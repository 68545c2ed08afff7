#include <gtest/gtest.h>

#include <stdexcept>

#include "support/stdout_capture.h"
#include "utils/address.h"

using Utils::split;
using Utils::split_string;

TEST(Split, WhitespaceSeparatedWords)
{
    const std::vector<std::string> expected{"option", "domain-name-servers", "8.8.8.8,", "8.8.4.4;"};
    EXPECT_EQ(split("  option domain-name-servers 8.8.8.8, 8.8.4.4;"), expected);
    EXPECT_EQ(split("a\tb\n c"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(split("").empty());
    EXPECT_TRUE(split(" \t \n").empty());
}

TEST(SplitString, KeepsEmptyPieces)
{
    struct Case { std::string text, delimiter; std::vector<std::string> pieces; };
    const Case cases[] = {
        {"a,b,", ",", {"a", "b", ""}},
        {"", ",", {""}},
        {",a", ",", {"", "a"}},
        {"a,,b", ",", {"a", "", "b"}},
        {"abc", ",", {"abc"}},
        {"a::b::c", "::", {"a", "b", "c"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(split_string(c.text, c.delimiter), c.pieces) << c.text << " at " << c.delimiter;
}

TEST(IsNumber, DigitsAndSquareBrackets)
{
    for (const char* accepted : {"12", "[7]", "]", "0", "[]"})
        EXPECT_TRUE(Utils::isNumber(accepted)) << accepted;
    for (const char* refused : {"", "1.5", "-1", " 1", "1a"})
        EXPECT_FALSE(Utils::isNumber(refused)) << refused;
}

TEST(ValidateIpAddress, DottedQuadOnly)
{
    struct Case { const char* text; bool valid; };
    const Case cases[] = {
        {"0.0.0.0", true},        {"255.255.255.255", true}, {"192.168.1.10", true},
        {"192.168.1", false},     {"192.168.1.10 ", false},  {" 192.168.1.10", false},
        {"192.168.01.1", false},  {"256.1.1.1", false},      {"192.168.1.", false},
        {"", false},              {"a.b.c.d", false},        {"1.2.3.4.5", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utils::validateIpAddress(c.text), c.valid) << "'" << c.text << "'";
}

TEST(ValidateDhcpNetwork, ComparesEverythingBeforeTheLastDotOfStart)
{
    EXPECT_TRUE(Utils::validateDhcpNetwork("192.168.1.100", "192.168.1.200"));
    StdoutCapture out;
    EXPECT_FALSE(Utils::validateDhcpNetwork("192.168.1.100", "192.168.10.20"));
    EXPECT_EQ(out.text(), "ip range not same network\n");
    EXPECT_TRUE(Utils::validateDhcpNetwork("abc", "abc"));
    EXPECT_FALSE(Utils::validateDhcpNetwork("abc", "abd"));
}

TEST(ValidateIpRange, ComparesOnlyTheLastOctets)
{
    struct Case { const char* start; const char* end; bool inOrder; };
    const Case cases[] = {
        {"192.168.1.100", "192.168.1.200", true},
        {"192.168.1.50", "192.168.1.50", false},
        {"192.168.1.200", "192.168.1.100", false},
        {"10.0.0.9", "192.168.1.10", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utils::validateIpRange(c.start, c.end), c.inOrder) << c.start << " " << c.end;

    StdoutCapture out;
    Utils::validateIpRange("192.168.1.50", "192.168.1.50");
    EXPECT_EQ(out.text(), "valid ip range test: 50\nip start greater than end\n");
}

TEST(ValidateIpRange, ThrowsOnAnOctetWithoutDigits)
{
    EXPECT_THROW(Utils::validateIpRange("", "192.168.1.1"), std::invalid_argument);
    EXPECT_THROW(Utils::validateIpRange("192.168.1.", "192.168.1.1"), std::invalid_argument);
}

TEST(OmitLastSegment, DropsTheLastOctetAndTraces)
{
    StdoutCapture out;
    EXPECT_EQ(Utils::omitLastSegment("192.168.1.10"), "192.168.1");
    EXPECT_EQ(out.text(), "Splitting: 192.168.1.10\n");
    EXPECT_EQ(Utils::omitLastSegment("nodots"), "nodots");
    EXPECT_EQ(Utils::omitLastSegment("192.168.1."), "192.168.1");
}

TEST(TrimOctets, KeepsTheLeadingOctetsAndZeroesTheRest)
{
    struct Case { const char* address; int keep; const char* result; };
    const Case cases[] = {
        {"10.123.45.6", 0, "10.0.0.0"},      {"172.16.5.77", 1, "172.16.0.0"},
        {"192.168.1.77", 2, "192.168.1.0"},  {"192.168.1.77", 5, "192.168.1.0"},
        {"1.2.3.4.5", 2, "1.2.3.0"},         {"10.1.2", 0, "10.0.2"},
        {"nodots", 0, "nodots"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utils::trimOctets(c.address, c.keep), c.result) << c.address << " keep " << c.keep;
}

TEST(IPToUInt, FourNumbersOrZero)
{
    EXPECT_EQ(Utils::IPToUInt("192.168.1.10"), 0xC0A8010Au);
    EXPECT_EQ(Utils::IPToUInt("0.0.0.1"), 1u);
    EXPECT_EQ(Utils::IPToUInt("255.255.255.255"), 0xFFFFFFFFu);
    EXPECT_EQ(Utils::IPToUInt("192.168.1"), 0u);
    EXPECT_EQ(Utils::IPToUInt("1.2.3.4junk"), 0x01020304u);
}

TEST(ClassfulNetwork, SubnetAndNetmaskByFirstOctet)
{
    struct Case { const char* address; const char* subnet; const char* netmask; };
    const Case cases[] = {
        {"10.1.2.3", "10.0.0.0", "255.0.0.0"},
        {"0.1.2.3", "0.0.0.0", ""},
        {"127.0.0.1", "127.0.0.0", "255.0.0.0"},
        {"128.1.2.3", "128.1.0.0", "255.255.0.0"},
        {"172.16.5.77", "172.16.0.0", "255.255.0.0"},
        {"191.255.1.1", "191.255.0.0", "255.255.0.0"},
        {"192.168.1.1", "192.168.1.0", "255.255.255.0"},
        {"223.1.2.3", "223.1.2.0", "255.255.255.0"},
        {"230.1.2.3", "230.1.2.0", ""},
        {"238.1.2.3", "238.1.2.0", ""},
        {"239.1.2.3", "", ""},
        {"255.1.2.3", "", ""},
    };
    for (const auto& c : cases) {
        std::vector<int> octets;
        Utils::getOctetsIP(c.address, octets);
        EXPECT_EQ(Utils::calculateDhcpSubnet(c.address), c.subnet) << c.address;
        EXPECT_EQ(Utils::calculateDhcpNetmask(octets), c.netmask) << c.address;
    }
}

TEST(ClassfulNetwork, SubnetOfTextWithoutNumberThrows)
{
    EXPECT_THROW(Utils::calculateDhcpSubnet("abc"), std::invalid_argument);
    EXPECT_THROW(Utils::calculateDhcpSubnet(""), std::invalid_argument);
    std::vector<int> none;
    EXPECT_EQ(Utils::calculateDhcpNetmask(none), "");
}

TEST(CalculatePrefix, CountsLeadingOneBits)
{
    struct Case { const char* mask; const char* prefix; };
    const Case cases[] = {
        {"255.255.255.0", "24"}, {"255.255.255.128", "25"}, {"255.255.254.0", "23"},
        {"255.255.255.252", "30"}, {"255.255.255.255", "32"}, {"0.0.0.0", "0"},
        {"255.0.0.0", "8"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utils::calculatePrefix(c.mask), c.prefix) << c.mask;
}

TEST(GetOctets, ParsesEveryPieceAndReportsRejection)
{
    struct Case { const char* text; bool rejected; std::vector<int> octets; const char* message; };
    const Case cases[] = {
        {"192.168.1.10", false, {192, 168, 1, 10}, ""},
        {"256.1.1.1", true, {256, 1, 1, 1}, "\nThere are only 255 bits per octet. Please re-enter IP.\n\n"},
        {"1.2.3", true, {1, 2, 3}, "\nPlease enter four octets in dot notation.\n\n"},
        {"a.b.c.d", false, {0, 0, 0, 0}, ""},
        {"1.2.3.4.", false, {1, 2, 3, 4}, ""},
        {"1..3.4", false, {1, 0, 3, 4}, ""},
        {"", true, {}, "\nPlease enter four octets in dot notation.\n\n"},
        {"-1.0.0.0", true, {-1, 0, 0, 0}, "\nThere are only 255 bits per octet. Please re-enter IP.\n\n"},
    };
    for (const auto& c : cases) {
        std::vector<int> octets{99};
        StdoutCapture out;
        EXPECT_EQ(Utils::getOctetsIP(c.text, octets), c.rejected) << c.text;
        EXPECT_EQ(octets, c.octets) << c.text;
        EXPECT_EQ(out.text(), c.message) << c.text;
    }
}

TEST(GetOctets, MaskOctetsMustBeMaskValues)
{
    struct Case { const char* text; bool rejected; };
    const Case cases[] = {
        {"255.255.255.0", false}, {"255.0.255.0", false}, {"255.255.255.254", false},
        {"255.255.255.3", true},  {"255.255.255", true},  {"256.0.0.0", true},
    };
    for (const auto& c : cases) {
        std::vector<int> octets;
        EXPECT_EQ(Utils::getOctetsMask(c.text, octets), c.rejected) << c.text;
    }
    std::vector<int> octets;
    StdoutCapture out;
    Utils::getOctetsMask("255.255.255.3", octets);
    EXPECT_EQ(out.text(), "\nSubnet masks only use 2^[0-7]. Please re-enter mask.\n\n");
}
