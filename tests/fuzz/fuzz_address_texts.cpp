// Address and mask texts through the Utils parsers. The input's first two lines are the texts; a
// pair of them is what range and network checks compare. Only the exceptions the parsers
// document are caught: anything else thrown ends the run as a finding.
#include <cctype>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_input.h"
#include "quiet_traces.h"
#include "utils/address.h"

namespace {

constexpr int kOctets = 4;
constexpr int kOctetMax = 255;
constexpr int kMaxKeep = 4;

bool isMaskOctet(int octet)
{
    for (int ones = 0; ones <= 8; ++ones)
        if (octet == ((0xFF00 >> ones) & 0xFF))
            return true;
    return false;
}

uint32_t numberOf(const std::vector<int>& octets)
{
    uint32_t number = 0;
    for (int octet : octets)
        number = (number << 8) | static_cast<uint32_t>(octet);
    return number;
}

void checkSplitting(const std::string& text, const std::string& delimiter)
{
    std::string joined;
    for (const std::string& word : Utils::split(text)) {
        FUZZ_CHECK(!word.empty());
        for (char c : word)
            FUZZ_CHECK(!std::isspace(static_cast<unsigned char>(c)));
        joined += word;
    }
    std::string withoutSpace;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c)))
            withoutSpace += c;
    FUZZ_CHECK(joined == withoutSpace);

    const std::vector<std::string> pieces = Utils::split_string(text, delimiter);
    FUZZ_CHECK(!pieces.empty());
    std::string rejoined = pieces.front();
    for (std::size_t i = 1; i < pieces.size(); ++i)
        rejoined += delimiter + pieces[i];
    FUZZ_CHECK(rejoined == text);
    Utils::isNumber(text);
}

// What any text gives; a valid address or mask must also be read as one by every other parser.
void checkText(const std::string& text)
{
    std::vector<int> octets;
    const bool ipRejected = Utils::getOctetsIP(text, octets);
    if (!ipRejected) {
        FUZZ_CHECK(octets.size() == kOctets);
        for (int octet : octets)
            FUZZ_CHECK(octet >= 0 && octet <= kOctetMax);
    }
    const std::string netmask = Utils::calculateDhcpNetmask(octets);
    FUZZ_CHECK(netmask.empty() || Utils::validateSubnetMask(netmask));

    std::vector<int> maskOctets;
    const bool maskRejected = Utils::getOctetsMask(text, maskOctets);
    if (!maskRejected) {
        FUZZ_CHECK(maskOctets.size() == kOctets);
        for (int octet : maskOctets)
            FUZZ_CHECK(isMaskOctet(octet));
    }

    const bool valid = Utils::validateIpAddress(text);
    const std::string prefix = Utils::calculatePrefix(text);
    FUZZ_CHECK(prefix.empty() == !valid);
    if (valid) {
        FUZZ_CHECK(!ipRejected && Utils::IPToUInt(text) == numberOf(octets));
        const std::string subnet = Utils::calculateDhcpSubnet(text);
        FUZZ_CHECK(subnet.empty() || Utils::validateIpAddress(subnet));
        for (int keep = 0; keep <= kMaxKeep; ++keep)
            FUZZ_CHECK(Utils::validateIpAddress(Utils::trimOctets(text, keep)));
    } else {
        Utils::IPToUInt(text);
        for (int keep = 0; keep <= kMaxKeep; ++keep)
            Utils::trimOctets(text, keep);
        try {
            Utils::calculateDhcpSubnet(text);
        } catch (const std::invalid_argument&) {
        }
    }
    if (Utils::validateSubnetMask(text)) {
        FUZZ_CHECK(valid && !maskRejected);
        const int ones = std::stoi(prefix);
        FUZZ_CHECK(ones >= 1 && ones <= 32);
        FUZZ_CHECK(numberOf(maskOctets) == static_cast<uint32_t>(0xFFFFFFFFull << (32 - ones)));
    }
    const std::string network = Utils::omitLastSegment(text);
    FUZZ_CHECK(text.compare(0, network.size(), network) == 0);
}

void checkPair(const std::string& start, const std::string& end)
{
    FUZZ_CHECK(Utils::validateDhcpNetwork(start, start));
    FUZZ_CHECK(Utils::validateDhcpNetwork(start, end) == Utils::validateDhcpNetwork(end, start));
    try {
        if (Utils::validateIpRange(start, end))
            FUZZ_CHECK(!Utils::validateIpRange(end, start));
        FUZZ_CHECK(!Utils::validateIpRange(start, start));
    } catch (const std::invalid_argument&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    silenceTraces();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string text = textOf(data, size);
    const std::vector<std::string> lines = linesOf(text);
    const std::string first = lines.front();
    const std::string second = lineOf(lines, 1);
    checkSplitting(text, second);
    checkText(first);
    checkText(second);
    checkPair(first, second);
    return 0;
}
