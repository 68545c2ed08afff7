#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "support/stdout_capture.h"
#include "utils/address.h"
#include "utils/subnet.h"

using Octets = std::vector<int>;

TEST(CalcClass, FirstMatchingRowOfTheClassTable)
{
    struct Case { Octets address; int addressClass; };
    const Case cases[] = {
        {{10, 0, 0, 1}, 1},     {{172, 15, 0, 1}, 6},    {{172, 16, 0, 1}, 2},    {{172, 31, 9, 9}, 2},
        {{172, 32, 0, 1}, 6},   {{192, 168, 1, 1}, 3},   {{192, 169, 0, 1}, 7},   {{127, 0, 0, 1}, 4},
        {{0, 1, 2, 3}, 5},      {{126, 0, 0, 1}, 5},     {{128, 0, 0, 1}, 6},     {{191, 255, 0, 1}, 6},
        {{223, 1, 1, 1}, 7},    {{224, 0, 0, 1}, 8},     {{239, 1, 1, 1}, 8},     {{240, 0, 0, 1}, 9},
        {{255, 255, 255, 255}, 9}, {{256, 0, 0, 0}, 0},  {{-1, 0, 0, 0}, 0},
        // Short vectors: the second octet is only read when there is one.
        {{}, 0}, {{172}, 6}, {{192}, 7}, {{10}, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utils::calcClass(c.address), c.addressClass) << Utils::toString(c.address);
}

TEST(GetNHBits, AppendsAndTracesBothBitPatterns)
{
    Octets addressBits{1}, maskBits;  // appended to, not cleared
    StdoutCapture out;
    EXPECT_EQ(Utils::getNHBits({192, 168, 1, 5}, {255, 255, 255, 0}, addressBits, maskBits), 0);
    EXPECT_EQ(out.finish(false),
              "11000000.10101000.00000001.00000101  : IP Address\n"
              "11111111.11111111.11111111.00000000  : Subnet Mask\n"
              "-----------------------------------------\n");
    ASSERT_EQ(addressBits.size(), 33u);
    EXPECT_EQ(addressBits[0], 1);
    EXPECT_EQ(Octets(addressBits.begin() + 1, addressBits.begin() + 9), (Octets{1, 1, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Octets(addressBits.end() - 8, addressBits.end()), (Octets{0, 0, 0, 0, 0, 1, 0, 1}));
    ASSERT_EQ(maskBits.size(), 32u);
    EXPECT_EQ(maskBits[23], 1);
    EXPECT_EQ(maskBits[24], 0);
}

TEST(GetNHBits, OddVectorsTraceTheirLowEightBits)
{
    Octets addressBits, maskBits;
    StdoutCapture out;
    Utils::getNHBits({}, {300, -1}, addressBits, maskBits);
    EXPECT_EQ(out.finish(false),
              "  : IP Address\n"
              "00101100.11111111  : Subnet Mask\n"
              "-----------------------------------------\n");
    EXPECT_TRUE(addressBits.empty());
    EXPECT_EQ(maskBits.size(), 16u);
}

TEST(GetNetID, AddressAndMaskPerOctet)
{
    struct Case { Octets address, mask, netID; };
    const Case cases[] = {
        {{192, 168, 1, 77}, {255, 255, 255, 192}, {192, 168, 1, 64}},
        {{172, 16, 37, 9}, {255, 255, 240, 0}, {172, 16, 32, 0}},
        {{10, 1, 2, 3}, {255, 0, 0, 0}, {10, 0, 0, 0}},
        {{10, 1, 2, 3}, {255, 255}, {10, 1, 0, 0}},  // mask too short: the rest counts as 0
        {{}, {255, 255, 255, 0}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utils::getNetID(c.address, c.mask), c.netID) << Utils::toString(c.address);
}

TEST(ToStringAndToDecimal, DottedTextAndItsNumbersBack)
{
    const Octets cases[] = {{192, 168, 1, 0}, {}, {7}, {1, 2, 3, 4, 5}, {-3, 300, 0, 12}};
    const std::string texts[] = {"192.168.1.0", "", "7", "1.2.3.4.5", "-3.300.0.12"};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(Utils::toString(cases[i]), texts[i]);
        Octets scratch{9, 9};  // overwritten
        EXPECT_EQ(Utils::toDecimal(cases[i], scratch), cases[i]) << texts[i];
        EXPECT_EQ(scratch, cases[i]) << texts[i];
    }
}

TEST(GetIncrement, FirstOctetBelow255DecidesTheBlock)
{
    struct Case { Octets mask; int increment; };
    const Case cases[] = {
        {{255, 255, 255, 192}, 64}, {{255, 254, 0, 0}, 2},     {{255, 255, 255, 0}, 1},
        {{255, 255, 0, 0}, 1},      {{0, 0, 0, 0}, 0},         {{128, 0, 0, 0}, 128},
        {{255, 255, 255, 252}, 4},  {{255, 255, 255, 255}, 1}, {{255, 3, 240, 0}, 16},
        {{}, 0},                    {{-1, 999}, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utils::getIncrement(c.mask, {}), c.increment) << Utils::toString(c.mask);
}

TEST(GetNetIDRange, LastAddressOfTheBlock)
{
    struct Case { Octets netID; int increment; Octets mask, last; };
    const Case cases[] = {
        {{10, 0, 0, 0}, 1, {255, 0, 0, 0}, {10, 255, 255, 255}},
        {{192, 168, 1, 64}, 64, {255, 255, 255, 192}, {192, 168, 1, 127}},
        {{192, 168, 1, 0}, 1, {255, 255, 255, 0}, {192, 168, 1, 255}},
        {{172, 16, 32, 0}, 16, {255, 255, 240, 0}, {172, 16, 47, 255}},
        {{192, 168, 1, 7}, 1, {255, 255, 255, 255}, {192, 168, 1, 7}},
        {{10, 1, 2, 3}, 1, {255}, {10, 255, 255, 255}},          // mask too short
        {{1, 2}, 1, {-4, 300}, {255, 255}},                      // no mask octets
        {{INT_MAX}, INT_MAX, {128}, {INT_MAX}},                  // kept within int
        {{INT_MIN}, INT_MIN, {128}, {INT_MIN}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utils::getNetIDRange(c.netID, c.increment, c.mask), c.last) << Utils::toString(c.netID);
}

TEST(GetSubnets, OneBitsBeyondTheClassDefaultMask)
{
    struct Case { int classCode; Octets mask; int subnets; Octets reference; };
    const Case cases[] = {
        {2, {255, 255, 240, 0}, 16, {255, 255, 0, 0}},
        {3, {255, 255, 255, 192}, 4, {255, 255, 255, 0}},
        {1, {255, 255, 255, 0}, 65536, {255, 0, 0, 0}},
        {3, {255, 255, 0, 0}, 1, {255, 255, 255, 0}},   // shorter than the default
        {4, {255, 255, 255, 0}, 1, {255, 255, 255, 0}},
        {5, {240, 0, 0, 0, 9}, 1, {240, 0, 0, 0}},
        {5, {255}, 1, {255}},
        {0, {255, 255, 255, 0}, 1, {}},                 // unknown class code: nothing compared
        {6, {255, 255, 255, 0}, 1, {}},
        {1, {254, 255, 255, 255}, INT_MAX, {255, 0, 0, 0}},  // 2^31 does not fit an int
        {1, {}, 1, {255, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        Octets reference{1, 2, 3, 4, 5, 6};  // overwritten
        EXPECT_EQ(Utils::getSubnets(c.mask, c.classCode, reference), c.subnets)
            << c.classCode << " " << Utils::toString(c.mask);
        EXPECT_EQ(reference, c.reference) << c.classCode << " " << Utils::toString(c.mask);
    }
}

TEST(GetHostsPerSubnet, ZeroBitsOfTheMaskLessTwo)
{
    struct Case { Octets mask; int hosts; };
    const Case cases[] = {
        {{255, 255, 255, 0}, 254},      {{255, 255, 255, 252}, 2},     {{255, 255, 255, 254}, 0},
        {{255, 255, 255, 255}, -1},     {{255, 255, 255, 3}, -1},      {{255, 255, 0, 0}, 65534},
        {{255, 255, 240, 0}, 4094},     {{3, 0, 0, 0}, -1},            {{}, -1},
        {{128, 0, 0, 0}, 2147483646},   {{0, 0, 0, 0}, INT_MAX},       {Octets(1000, 0), INT_MAX},
        {{255, 0, 77, 0}, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utils::getHostsPerSubnet(c.mask), c.hosts) << Utils::toString(c.mask);
}

TEST(ValidateSubnetMask, DottedWithContiguousOneBits)
{
    struct Case { const char* text; bool valid; };
    const Case cases[] = {
        {"255.255.255.0", true},  {"255.255.255.255", true}, {"255.0.0.0", true},
        {"128.0.0.0", true},      {"255.255.254.0", true},   {"255.255.255.252", true},
        {"255.0.255.0", false},   {"1.2.3.4", false},        {"0.0.0.0", false},
        {"255.255.255", false},   {"255.255.255.0 ", false}, {"", false},
        {"255.255.256.0", false}, {"0.255.255.255", false},  {"255.255.255.1", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utils::validateSubnetMask(c.text), c.valid) << "'" << c.text << "'";
}
