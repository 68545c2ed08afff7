// The subnet calculator on octet vectors read from the input's texts (any count of octets, any
// int), and the static address check on the same texts. Lines: recorder address, mask, static
// address, pool start, pool end.
#include <arpa/inet.h>

#include <cstdint>
#include <string>
#include <vector>

#include "camera/static_address_check.h"
#include "fuzz_check.h"
#include "fuzz_input.h"
#include "quiet_traces.h"
#include "utils/address.h"
#include "utils/subnet.h"

namespace {

constexpr int kBitsPerOctet = 8;
constexpr int kLastClassCode = 9;
constexpr int kLastSubnetClassCode = 6;  // one past E: no class to compare with

bool isIncrement(int increment)
{
    for (int block : {0, 1, 2, 4, 8, 16, 32, 64, 128})
        if (increment == block)
            return true;
    return false;
}

void checkCalculator(const std::vector<int>& address, const std::vector<int>& mask)
{
    const int addressClass = Utils::calcClass(address);
    FUZZ_CHECK(addressClass >= 0 && addressClass <= kLastClassCode);

    std::vector<int> addressBits, maskBits;
    FUZZ_CHECK(Utils::getNHBits(address, mask, addressBits, maskBits) == 0);
    FUZZ_CHECK(addressBits.size() == address.size() * kBitsPerOctet);
    FUZZ_CHECK(maskBits.size() == mask.size() * kBitsPerOctet);

    const std::vector<int> netID = Utils::getNetID(address, mask);
    FUZZ_CHECK(netID.size() == address.size());
    std::vector<int> scratch;
    FUZZ_CHECK(Utils::toDecimal(netID, scratch) == netID && scratch == netID);

    const int increment = Utils::getIncrement(mask, netID);
    FUZZ_CHECK(isIncrement(increment));
    FUZZ_CHECK(Utils::getNetIDRange(netID, increment, mask).size() == netID.size());

    for (int classCode = 0; classCode <= kLastSubnetClassCode; ++classCode) {
        std::vector<int> referenceMask{1, 2, 3};
        FUZZ_CHECK(Utils::getSubnets(mask, classCode, referenceMask) >= 1);
    }
    FUZZ_CHECK(Utils::getHostsPerSubnet(mask) >= -1);
}

uint32_t numberOf(const std::string& address)
{
    in_addr parsed{};
    inet_pton(AF_INET, address.c_str(), &parsed);
    return ntohl(parsed.s_addr);
}

// A static address is let through only when every text is a dotted address (the mask a
// contiguous one), it lies in the recorder's network and outside the pool as whole addresses.
void checkStaticAddress(const std::vector<std::string>& lines)
{
    const std::string recorder = lineOf(lines, 0), mask = lineOf(lines, 1), address = lineOf(lines, 2);
    const std::string poolStart = lineOf(lines, 3), poolEnd = lineOf(lines, 4);
    if (!isStaticOutOfDhcpRange(recorder, address, mask, poolStart, poolEnd))
        return;
    FUZZ_CHECK(Utils::validateIpAddress(recorder) && Utils::validateSubnetMask(mask));
    FUZZ_CHECK(Utils::validateIpAddress(address));
    FUZZ_CHECK(Utils::validateIpAddress(poolStart) && Utils::validateIpAddress(poolEnd));
    const uint32_t maskNumber = numberOf(mask);
    FUZZ_CHECK((numberOf(address) & maskNumber) == (numberOf(recorder) & maskNumber));
    FUZZ_CHECK(numberOf(address) < numberOf(poolStart) || numberOf(address) > numberOf(poolEnd));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    silenceTraces();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::vector<std::string> lines = linesOf(textOf(data, size));
    std::vector<int> address, mask;
    Utils::getOctetsIP(lineOf(lines, 0), address);
    Utils::getOctetsMask(lineOf(lines, 1), mask);
    checkCalculator(address, mask);
    checkCalculator(mask, address);
    checkStaticAddress(lines);
    return 0;
}
