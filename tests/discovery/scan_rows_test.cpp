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

TEST(ReplySequence, OnlyARepeatOfTheReplyJustBeforeIsDropped)
{
    struct Case {
        const char* name;
        std::vector<std::string> replies;
        std::vector<bool> added;
    };
    const Case cases[] = {
        {"distinct", {"192.168.1.10", "192.168.1.11"}, {true, true}},
        {"A B A", {"192.168.1.10", "192.168.1.11", "192.168.1.10"}, {true, true, true}},
        {"repeat in a row", {"192.168.1.10", "192.168.1.10", "192.168.1.11"}, {true, false, true}},
        {"empty first", {"", "192.168.1.10"}, {false, true}},
        {"empty after another", {"192.168.1.10", "", ""}, {true, true, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ReplySequence sequence;
        std::vector<bool> added;
        for (const std::string& address : c.replies)
            added.push_back(sequence.addsRow(address));
        EXPECT_EQ(added, c.added);
    }
}
