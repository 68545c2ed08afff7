#include "network/dhcp_validation.h"

#include <cstdint>
#include <vector>

#include "utils/address.h"

namespace {

constexpr const char* kInvalidIp = "Please enter a valid IP";
constexpr const char* kInvalidDns = "Please enter a valid DNS or leave blank";

constexpr const char* kOutsideSubnet = "ip outside the camera subnet";
constexpr const char* kNoAddress = "0.0.0.0";

// The camera interface's netmask, or the class mask of its address; empty when there is none.
std::string subnetMask(const std::string& cameraAddress, const std::string& cameraNetmask)
{
    // The page shows 0.0.0.0 when no camera interface was found: there is no subnet to hold to.
    if (!Utils::validateIpAddress(cameraAddress) || cameraAddress == kNoAddress)
        return "";
    if (Utils::validateSubnetMask(cameraNetmask))
        return cameraNetmask;
    std::vector<int> octets;
    Utils::getOctetsIP(cameraAddress, octets);
    return Utils::calculateDhcpNetmask(octets);
}

bool sameSubnet(const std::string& address, const std::string& cameraAddress,
                const std::string& mask)
{
    const uint32_t bits = Utils::IPToUInt(mask);
    return (Utils::IPToUInt(address) & bits) == (Utils::IPToUInt(cameraAddress) & bits);
}

}  // namespace

DhcpFieldCheck checkDhcpSettings(bool enabled, const std::string& startIp,
                                 const std::string& endIp, const std::string& primaryDns,
                                 const std::string& secondaryDns,
                                 const std::string& cameraAddress,
                                 const std::string& cameraNetmask)
{
    using Field = DhcpFieldCheck::Field;
    if (!enabled)
        return {};
    const std::string mask = subnetMask(cameraAddress, cameraNetmask);
    if (!Utils::validateIpAddress(startIp))
        return {Field::StartIp, "invalid ip", kInvalidIp};
    // A pool outside the subnet leaves the cameras with addresses the recorder cannot reach,
    // and the DHCP server refuses a range outside the subnet it serves.
    if (!mask.empty() && !sameSubnet(startIp, cameraAddress, mask))
        return {Field::StartIp, kOutsideSubnet, kInvalidIp};
    if (!Utils::validateIpAddress(endIp))
        return {Field::EndIp, "invalid ip", kInvalidIp};
    if (!mask.empty() && !sameSubnet(endIp, cameraAddress, mask))
        return {Field::EndIp, kOutsideSubnet, kInvalidIp};
    // The DNS servers are optional: only text that is there must be an address.
    if (!primaryDns.empty() && !Utils::validateIpAddress(primaryDns))
        return {Field::PrimaryDns, "invalid dns1", kInvalidDns};
    if (!secondaryDns.empty() && !Utils::validateIpAddress(secondaryDns))
        return {Field::SecondaryDns, "invalid dns2", kInvalidDns};
    return {};
}
