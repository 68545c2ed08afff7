#include "camera/static_address_check.h"

#include <cstdint>
#include <iostream>
#include <vector>

#include "utils/address.h"
#include "utils/subnet.h"

namespace {

constexpr int kOctets = 4;
constexpr int kLastUsableClassCode = 3;  // A, B and C; D and E have no hosts to give

// Only for vectors read from a valid dotted text: four octets 0..255.
uint32_t toNumber(const std::vector<int>& octets)
{
    uint32_t number = 0;
    for (int octet : octets)
        number = (number << 8) | static_cast<uint32_t>(octet);
    return number;
}

// Traces the address class and gives its class code, 1..5 for A..E, 0 for none.
int classCodeOf(int addressClass)
{
    switch (addressClass) {
    case 1: std::cout << "IP Class: Private block, Class 'A' " << std::endl; return 1;
    case 2: std::cout << "IP Class: Private block, Class 'B'" << std::endl; return 2;
    case 3: std::cout << "IP Class: Private block, Class 'C'" << std::endl; return 3;
    case 4: std::cout << "IP Class: Reserved block, System Loopback Address" << std::endl; return 1;
    case 5: std::cout << "IP Class: A" << std::endl; return 1;
    case 6: std::cout << "IP Class: B" << std::endl; return 2;
    case 7: std::cout << "IP Class: C" << std::endl; return 3;
    case 8:
        std::cout << "IP Class: D" << std::endl
                  << "!! This is a reserved Class D Multicast IP Address Block" << std::endl;
        return 4;
    case 9:
        std::cout << "IP Class: E" << std::endl
                  << "!! This is a reserved Class E Multicast IP Address Block" << std::endl;
        return 5;
    default: std::cout << "Not in Range" << std::endl; return 0;
    }
}

// The first octet of the address outside the network's bounds for it, or 0 when there is none.
int firstOctetOutside(const std::vector<int>& address, const std::vector<int>& netID, const std::vector<int>& last)
{
    for (int i = 0; i < kOctets; ++i) {
        if (address[i] < netID[i] || address[i] > last[i])
            return i;
    }
    return 0;
}

bool traceUnparsable()
{
    std::cout << "Not a dotted address or subnet mask" << std::endl;
    return false;
}

}  // namespace

bool isStaticOutOfDhcpRange(std::string recorderAddress, std::string staticAddress, std::string mask,
                            const std::string& poolStart, const std::string& poolEnd)
{
    std::vector<int> recorder, maskOctets;
    Utils::getOctetsIP(recorderAddress, recorder);
    Utils::getOctetsMask(mask, maskOctets);
    // Past this point every vector holds four octets 0..255 and the mask is contiguous.
    if (!Utils::validateIpAddress(recorderAddress) || !Utils::validateSubnetMask(mask))
        return traceUnparsable();

    std::vector<int> scratch, recorderBits, maskBits;
    const std::vector<int> maskDecimal = Utils::toDecimal(maskOctets, scratch);
    Utils::getNHBits(recorder, maskDecimal, recorderBits, maskBits);

    const std::vector<int> netID = Utils::toDecimal(Utils::getNetID(recorder, maskOctets), scratch);
    const int increment = Utils::getIncrement(maskOctets, netID);

    const int classCode = classCodeOf(Utils::calcClass(recorder));
    if (classCode < 1 || classCode > kLastUsableClassCode)
        return false;

    std::vector<int> referenceMask;
    const int subnets = Utils::getSubnets(maskOctets, classCode, referenceMask);
    const std::vector<int> last = Utils::getNetIDRange(netID, increment, maskOctets);
    std::cout << Utils::toString(netID) << " - [ usable hosts ] - " << Utils::toString(last) << "\n\n";
    std::cout << "Network Increment: " << increment << std::endl;
    std::cout << "Number of Subnets: " << subnets << std::endl;
    std::cout << "Usable hosts per subnet: " << Utils::getHostsPerSubnet(maskOctets) << std::endl;

    std::vector<int> address, start, end;
    Utils::getOctetsIP(staticAddress, address);
    Utils::getOctetsIP(poolStart, start);
    Utils::getOctetsIP(poolEnd, end);
    if (!Utils::validateIpAddress(staticAddress) || !Utils::validateIpAddress(poolStart) ||
        !Utils::validateIpAddress(poolEnd))
        return traceUnparsable();

    // The network as whole addresses: every octet is checked, not just one per class.
    const uint32_t addressNumber = toNumber(address);
    const uint32_t maskNumber = toNumber(maskOctets);
    const bool inNetwork = (addressNumber & maskNumber) == (toNumber(recorder) & maskNumber) &&
                           addressNumber >= toNumber(netID) && addressNumber <= toNumber(last);
    if (!inNetwork) {
        const int octet = firstOctetOutside(address, netID, last);
        std::cout << "Not btwn min/max!" << std::endl;
        std::cout << "netidrange[]" << last[octet] << "---NetID[]" << netID[octet] << std::endl;
        return false;
    }

    // Every octet is compared: an address within the bounds of all four lies inside the pool.
    bool outsidePool = false;
    for (int i = 0; i < kOctets; ++i) {
        std::cout << "ipClass:" << classCode << " [i]:" << address[i] << std::endl;
        std::cout << "octetsEndIP[i]:" << end[i] << "\noctectsStart[i]:" << start[i] << std::endl;
        if (outsidePool)
            continue;
        if (address[i] > end[i] || address[i] < start[i]) {
            std::cout << "Not in Range!!!!" << std::endl;
            outsidePool = true;
        } else {
            std::cout << "In Range!!!" << std::endl;
        }
    }
    // One octet past its bound is not enough when the pool spans an octet boundary:
    // 10.1.2.200 - 10.1.3.20 holds 10.1.2.250, so the bounds are compared as whole addresses.
    const uint32_t startNumber = toNumber(start);
    const uint32_t endNumber = toNumber(end);
    if (outsidePool && addressNumber >= startNumber && addressNumber <= endNumber) {
        std::cout << "In Range!!! (between pool start and end as whole addresses)" << std::endl;
        outsidePool = false;
    }
    return outsidePool;
}
