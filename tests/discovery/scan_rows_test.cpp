#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "discovery/scan_rows.h"

TEST(MendUtf8, ValidTextStaysInvalidBytesBecomeReplacementCharacters)
{
    struct Case {
        std::string text;
        std::string shown;
    };
    const std::string replacement = "\xEF\xBF\xBD";
    const Case cases[] = {
        {"LAB-IPC-2100", "LAB-IPC-2100"},
        {"", ""},
        {"Caméra \xE2\x9C\x93", "Caméra \xE2\x9C\x93"},
        {"LAB\xFF\xFE", "LAB" + replacement + replacement},
        {"LAB\xC3(", "LAB" + replacement + "("},      // a lead byte without its continuation
        {"\xE2\x9C", replacement + replacement},      // a sequence cut at the datagram's end
    };
    for (const Case& c : cases)
        EXPECT_EQ(mendUtf8(c.text), c.shown) << c.text;
}

// A reply is an address and a MAC; three cameras waiting for DHCP all say 0.0.0.0.
TEST(ReplySequence, OnlyARepeatOfBothAddressAndMacJustBeforeIsDropped)
{
    using Reply = std::pair<std::string, std::string>;
    struct Case {
        const char* name;
        std::vector<Reply> replies;
        std::vector<bool> added;
    };
    const std::string a = "02:56:4C:00:00:01", b = "02:56:4C:00:00:02", c = "02:56:4C:00:00:03";
    const Case cases[] = {
        {"distinct", {{"192.168.1.10", a}, {"192.168.1.11", b}}, {true, true}},
        {"A B A", {{"192.168.1.10", a}, {"192.168.1.11", b}, {"192.168.1.10", a}}, {true, true, true}},
        {"a camera answering twice", {{"192.168.1.10", a}, {"192.168.1.10", a}, {"192.168.1.11", b}},
         {true, false, true}},
        {"three cameras without an address", {{"0.0.0.0", a}, {"0.0.0.0", b}, {"0.0.0.0", c}}, {true, true, true}},
        {"one address, two MACs", {{"192.168.1.10", a}, {"192.168.1.10", b}}, {true, true}},
        {"one MAC, a new address", {{"192.168.1.10", a}, {"192.168.1.12", a}}, {true, true}},
        {"empty first", {{"", ""}, {"192.168.1.10", a}}, {false, true}},
        {"empty after another", {{"192.168.1.10", a}, {"", ""}, {"", ""}}, {true, true, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ReplySequence sequence;
        std::vector<bool> added;
        for (const auto& [address, mac] : c.replies)
            added.push_back(sequence.addsRow(address, mac));
        EXPECT_EQ(added, c.added);
    }
}
