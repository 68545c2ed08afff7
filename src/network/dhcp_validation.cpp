#include "network/dhcp_validation.h"

#include "utils/address.h"

namespace {

constexpr const char* kInvalidIp = "Please enter a valid IP";
constexpr const char* kInvalidDns = "Please enter a valid DNS or leave blank";

}  // namespace

DhcpFieldCheck checkDhcpSettings(bool enabled, const std::string& startIp,
                                 const std::string& endIp, const std::string& primaryDns,
                                 const std::string& secondaryDns)
{
    using Field = DhcpFieldCheck::Field;
    if (!enabled)
        return {};
    if (!Utils::validateIpAddress(startIp))
        return {Field::StartIp, "invalid ip", kInvalidIp};
    if (!Utils::validateIpAddress(endIp))
        return {Field::EndIp, "invalid ip", kInvalidIp};
    // The DNS servers are optional: only text that is there must be an address.
    if (!primaryDns.empty() && !Utils::validateIpAddress(primaryDns))
        return {Field::PrimaryDns, "invalid dns1", kInvalidDns};
    if (!secondaryDns.empty() && !Utils::validateIpAddress(secondaryDns))
        return {Field::SecondaryDns, "invalid dns2", kInvalidDns};
    return {};
}
