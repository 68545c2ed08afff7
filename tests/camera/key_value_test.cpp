#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "camera/key_value.h"

namespace {

bool operator==(const KeyValue& a, const KeyValue& b)
{
    return a.key == b.key && a.value == b.value;
}

}  // namespace

TEST(ReadKeyValues, WordByWord)
{
    struct Case {
        std::string body;
        std::vector<KeyValue> entries;
    };
    const Case cases[] = {
        {"", {}},
        {"FirmwareVersion=2.1.0\nModel=LAB-IPC-2100\n", {{"FirmwareVersion", "2.1.0"}, {"Model", "LAB-IPC-2100"}}},
        {"  a=1\tb=2\r\n", {{"a", "1"}, {"b", "2"}}},
        {"plain", {{"", "plain"}}},
        {"Empty=", {{"Empty", ""}}},
        {"a=b=c", {{"b", "c"}}},
        {"=x", {{"", "x"}}},
        {"Name=two words", {{"Name", "two"}, {"", "words"}}},
    };
    for (const Case& c : cases) {
        const std::vector<KeyValue> entries = readKeyValues(c.body);
        ASSERT_EQ(entries.size(), c.entries.size()) << c.body;
        for (std::size_t i = 0; i < entries.size(); ++i)
            EXPECT_TRUE(entries[i] == c.entries[i])
                << c.body << ": got " << entries[i].key << "|" << entries[i].value;
    }
}

TEST(LastValueOf, LastMatchWinsKeysExact)
{
    const std::string body = "FirmwareVersion=1.0\nfirmwareversion=9\nFirmwareVersion=2.0\nPrimaryDNS=\n";
    EXPECT_EQ(lastValueOf(body, "FirmwareVersion"), "2.0");
    EXPECT_EQ(lastValueOf(body, "PrimaryDNS"), "");
    EXPECT_EQ(lastValueOf(body, "IPv4Gateway"), std::nullopt);
    EXPECT_EQ(lastValueOf("", "FirmwareVersion"), std::nullopt);
}

// The reader once erased each word from its front at every "=": a mebibyte of "=" took seconds,
// and this word about two minutes. Read once from the end, it takes a blink.
TEST(ReadKeyValues, WordOfManyEqualsSignsIsReadInOnePass)
{
    const std::size_t size = 4 * 1024 * 1024;
    std::string word(size, '=');
    word.replace(size / 2, 3, "Key");
    const std::vector<KeyValue> entries = readKeyValues(word + "=Value" + " a=b");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].key, "");
    EXPECT_EQ(entries[0].value, "Value");
    EXPECT_TRUE(entries[1] == (KeyValue{"a", "b"}));
    EXPECT_EQ(lastValueOf(std::string(size, '=') + "x", ""), "x");
}
