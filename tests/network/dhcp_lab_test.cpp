// The page's number of clients as the real dhcpd applies it: run as the recorder's program in a
// lab of four DHCP cameras, the file is written and checked, the service restarted and the PoE
// ports power-cycled as on the way to the camera page; the lease file and the cameras' own
// addresses then tell how many cameras the server took.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "discovery/poe.h"
#include "lab_support.h"
#include "network/NetworkConfig.h"
#include "network/dhcp_config_file.h"
#include "network/dhcp_service.h"
#include "utils/address.h"

namespace {

// The cameras of dhcp_lab_cameras.json, all asking DHCP for their address.
const std::vector<std::string> kCameras = {"dhcp0", "dhcp1", "dhcp2", "dhcp3"};
constexpr const char* kDhcpFile = "/etc/dhcp/dhcpd.conf";
constexpr const char* kLeases = "dhcpd/dhcpd.leases";
// Apart from the pool the lab starts with, so no lease from before counts.
constexpr const char* kPoolStart = "192.168.1.20";
constexpr const char* kPoolEnd = "192.168.1.60";
// Rounds of discovers a camera the server refuses must have sent unanswered: the cameras it
// takes have their lease after the first.
constexpr int kUnansweredDiscovers = 6;

bool inPool(const std::string& address)
{
    if (!Utils::validateIpAddress(address))
        return false;
    const uint32_t value = Utils::IPToUInt(address);
    return value >= Utils::IPToUInt(kPoolStart) && value <= Utils::IPToUInt(kPoolEnd);
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The MACs that hold an active lease from the pool, as the server last wrote each address down.
std::set<std::string> activeLeaseHolders()
{
    static const std::regex lease(R"(lease (\d+\.\d+\.\d+\.\d+) \{([^}]*)\})");
    static const std::regex hardware(R"(hardware ethernet ([0-9a-fA-F:]+);)");
    const std::string text = lab::fileText(lab::labPath(kLeases));
    std::map<std::string, std::string> lastBlock;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), lease); it != std::sregex_iterator(); ++it)
        lastBlock[(*it)[1]] = (*it)[2];
    std::set<std::string> holders;
    std::smatch m;
    for (const auto& [address, block] : lastBlock)
        if (inPool(address) && block.find("binding state active;") != std::string::npos &&
            std::regex_search(block, m, hardware))
            holders.insert(lower(m[1]));
    return holders;
}

std::size_t discoversSince(const std::string& camera, std::size_t since)
{
    std::istringstream log(lab::fileText(lab::cameraFile(camera, "udhcpc.log"), since));
    std::size_t count = 0;
    for (std::string line; std::getline(log, line);)
        count += lower(line).find("discover") != std::string::npos;
    return count;
}

class DhcpLeaseLimit : public ::testing::Test {
protected:
    // The file as the page writes it for this many clients, then what arriving at the camera
    // page does: restart and enable the service, power-cycle the ports.
    void serveAndPowerCycle(int clients)
    {
        NetworkConfig config("eth1", "eth0");
        ASSERT_TRUE(config.network1.valid) << "the lab's camera interface";
        DhcpSettings settings;
        settings.users = clients;
        settings.leaseHours = 1;
        settings.startIp = kPoolStart;
        settings.endIp = kPoolEnd;
        settings.cameraAddress = settings.shownCameraAddress = config.network1.address;
        settings.cameraNetmask = config.network1.netmask;
        ASSERT_EQ(replaceDhcpConfig(kDhcpFile, formatDhcpConfig(settings)), DhcpFileWrite::Written);
        controlDhcpService(true);

        throttle_switchports(0);
        for (const std::string& camera : kCameras)
            ASSERT_TRUE(lab::waitUntil([&] { return lab::state(camera, "s[\"power\"]") == "off"; }))
                << camera << " powered off";
        logStart.clear();
        for (const std::string& camera : kCameras)
            logStart[camera] = lab::fileText(lab::cameraFile(camera, "udhcpc.log")).size();
        throttle_switchports(1);
    }

    std::vector<std::string> camerasInPool() const
    {
        std::vector<std::string> found;
        for (const std::string& camera : kCameras)
            if (inPool(lab::address(camera)))
                found.push_back(camera);
        return found;
    }

    std::set<std::string> macsOf(const std::vector<std::string>& cameras) const
    {
        std::set<std::string> macs;
        for (const std::string& camera : cameras)
            macs.insert(lower(lab::state(camera, "s[\"mac\"]")));
        return macs;
    }

    std::map<std::string, std::size_t> logStart;
};

TEST_F(DhcpLeaseLimit, TwoClientsLeaseToTwoCamerasFortyToAllFour)
{
    serveAndPowerCycle(2);
    // Settled: two cameras hold a lease and the other two went on asking, unanswered.
    std::vector<std::string> leased;
    const bool settled = lab::waitUntil([&] {
        leased = camerasInPool();
        if (leased.size() != 2)
            return false;
        for (const std::string& camera : kCameras)
            if (std::find(leased.begin(), leased.end(), camera) == leased.end() &&
                discoversSince(camera, logStart[camera]) < kUnansweredDiscovers)
                return false;
        return true;
    });
    ASSERT_TRUE(settled) << camerasInPool().size() << " cameras in the pool";
    for (const std::string& camera : kCameras) {
        if (std::find(leased.begin(), leased.end(), camera) == leased.end()) {
            EXPECT_EQ(lab::address(camera), "") << camera << " has an address without a lease";
        }
    }
    EXPECT_EQ(activeLeaseHolders(), macsOf(leased)) << lab::fileText(lab::labPath(kLeases));

    serveAndPowerCycle(40);
    ASSERT_TRUE(lab::waitUntil([&] { return camerasInPool().size() == kCameras.size(); }))
        << camerasInPool().size() << " cameras in the pool";
    EXPECT_EQ(activeLeaseHolders(), macsOf(kCameras)) << lab::fileText(lab::labPath(kLeases));
}

}  // namespace
