#include "discovery/find_ports.h"

#include <algorithm>
#include <utility>

namespace {

// What a camera still waiting for DHCP names as its address.
constexpr const char* kNoAddress = "0.0.0.0";

}  // namespace

MacSet macsOf(const ReplyAddresses& replies)
{
    MacSet macs;
    for (const auto& [mac, address] : replies)
        macs.insert(mac);
    return macs;
}

bool camerasBack(const ReplyAddresses& before, const ReplyAddresses& now)
{
    return std::all_of(before.begin(), before.end(), [&now](const auto& camera) {
        const auto again = now.find(camera.first);
        return again != now.end() && (again->second != kNoAddress || camera.second == kNoAddress);
    });
}

PortSearch::PortSearch(MacSet before) : rounds_{std::move(before)} {}

std::map<std::string, int> PortSearch::ports() const
{
    std::map<std::string, int> found;
    for (const std::string& mac : rounds_.front()) {
        int port = -1;
        int vanished = 0;
        for (std::size_t round = 1; round < rounds_.size(); ++round) {
            if (rounds_[round - 1].count(mac) != 0 && rounds_[round].count(mac) == 0) {
                ++vanished;
                port = static_cast<int>(round - 1);
            }
        }
        if (vanished == 1)
            found[mac] = port;
    }
    return found;
}

std::string portLabel(int driverPort)
{
    return std::to_string(driverPort + 1);
}

std::string portProgressText(int driverPort, int portCount)
{
    return "Port " + portLabel(driverPort) + " of " + std::to_string(portCount);
}
