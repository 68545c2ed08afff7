// A camera's answer body through the key-value reader and what the wizard reads from it, and the
// password masking of traces. The input's first line holds the passwords, split at tabs; the
// whole input is the body.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "camera/camera_answers.h"
#include "camera/curlobject.h"
#include "camera/key_value.h"
#include "camera/trace_mask.h"
#include "fuzz_check.h"
#include "fuzz_input.h"
#include "quiet_traces.h"
#include "utils/address.h"

namespace {

constexpr int64_t kAccepted = 200;
constexpr int64_t kRefused = 401;
constexpr std::size_t kKeysLookedUp = 8;

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::optional<std::string> lastValueIn(const std::vector<KeyValue>& entries, const std::string& key)
{
    std::optional<std::string> value;
    for (const KeyValue& entry : entries)
        if (entry.key == key)
            value = entry.value;
    return value;
}

// One entry per word; the value follows the word's last "=", the key is the piece before it.
void checkKeyValues(const std::string& body)
{
    const std::vector<std::string> words = Utils::split(body);
    const std::vector<KeyValue> entries = readKeyValues(body);
    FUZZ_CHECK(entries.size() == words.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const KeyValue& entry = entries[i];
        FUZZ_CHECK(entry.key.find('=') == std::string::npos && entry.value.find('=') == std::string::npos);
        if (words[i].find('=') == std::string::npos)
            FUZZ_CHECK(entry.key.empty() && entry.value == words[i]);
        else
            FUZZ_CHECK(endsWith(words[i], entry.key + "=" + entry.value));
    }
    for (std::size_t i = 0; i < entries.size() && i < kKeysLookedUp; ++i)
        FUZZ_CHECK(lastValueOf(body, entries[i].key) == lastValueIn(entries, entries[i].key));
}

void checkAnswers(const std::string& body, const std::string& otherBody)
{
    const DeviceInfo accepted = readDeviceInfo({body, kAccepted});
    FUZZ_CHECK(accepted.accepted && accepted.firmware == lastValueOf(body, "FirmwareVersion"));
    const DeviceInfo refused = readDeviceInfo({body, kRefused});
    FUZZ_CHECK(!refused.accepted && !refused.firmware);

    const AddressSettings settings = readAddressSettings(body, otherBody);
    FUZZ_CHECK(settings.netmask == lastValueOf(body, "IPv4SubnetMask"));
    FUZZ_CHECK(settings.gateway == lastValueOf(body, "IPv4Gateway"));
    FUZZ_CHECK(settings.dns == lastValueOf(otherBody, "PrimaryDNS"));
}

// No password survives masking in any form a request or an echo holds: as typed, percent-encoded
// in either case, with "+" for a space. A password holding the mask's own "*" may show up again
// inside a mask, so those are not looked for.
void checkMasking(const std::string& text, const std::vector<std::string>& passwords)
{
    const std::string masked = maskPasswords(text, passwords);
    bool anyPassword = false;
    for (const std::string& password : passwords) {
        if (password.empty())
            continue;
        anyPassword = true;
        if (password.find('*') != std::string::npos)
            continue;
        FUZZ_CHECK(masked.find(password) == std::string::npos);
        const std::string encoded = percentEncode(password);
        FUZZ_CHECK(encoded.empty() || masked.find(encoded) == std::string::npos);
        for (const std::string& form : passwordForms(password))
            FUZZ_CHECK(!form.empty() && masked.find(form) == std::string::npos);
    }
    if (!anyPassword)
        FUZZ_CHECK(masked == text);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    silenceTraces();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string body = textOf(data, size);
    const std::vector<std::string> lines = linesOf(body);
    checkKeyValues(body);
    checkAnswers(body, lineOf(lines, 1));
    checkAnswers(lineOf(lines, 1), body);
    checkMasking(body, Utils::split_string(lines.front(), "\t"));
    return 0;
}
