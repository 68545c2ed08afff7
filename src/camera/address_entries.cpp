#include "camera/address_entries.h"

#include <exception>
#include <iostream>

#include "camera/static_address_check.h"
#include "utils/address.h"

namespace {

constexpr int kPoolIndent = 16;

// An address the conversions cannot take is as unusable as one inside the pool.
bool outsidePool(const AddressEntries& entries, const DhcpPool& pool)
{
    try {
        return isStaticOutOfDhcpRange(pool.recorderAddress, entries.address, entries.mask, pool.start,
                                      pool.end);
    } catch (const std::exception& error) {
        std::cout << "address check failed: " << error.what() << std::endl;
        return false;
    }
}

}  // namespace

std::string poolMessage(const std::string& start, const std::string& end)
{
    return "Please enter IP address out of DHCP range:\n" + std::string(kPoolIndent, ' ') + start + "-" + end;
}

std::optional<std::string> firstRefusal(const AddressEntries& entries, bool manual, const DhcpPool& pool)
{
    if (!Utils::validateIpAddress(entries.address)) {
        std::cout << "invalid ip" << std::endl;
        return std::string(kInvalidAddress);
    }
    // The pool can only be judged with a usable mask; a bad one is reported as such just below.
    if (pool.serving && manual && Utils::validateSubnetMask(entries.mask) && !outsidePool(entries, pool)) {
        std::cout << "error: please enter address outside dhcp range" << std::endl;
        return poolMessage(pool.start, pool.end);
    }
    if (!Utils::validateSubnetMask(entries.mask)) {
        std::cout << "invalid subnet" << std::endl;
        return std::string(kInvalidMask);
    }
    if (!Utils::validateIpAddress(entries.gateway)) {
        std::cout << "invalid gateway" << std::endl;
        return std::string(kInvalidGateway);
    }
    return std::nullopt;
}
