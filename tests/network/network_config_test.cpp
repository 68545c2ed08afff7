// The interface inventory against real interfaces, built in a network namespace of the test's own.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sched.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "network/NetworkConfig.h"
#include "utils/unique_fd.h"

namespace {

struct Expected {
    bool valid;
    std::string address, broadcast, netmask;
};

struct InventoryCase {
    const char* name;
    std::vector<std::string> commands;  // ip(8) commands that build the namespace's interfaces
    Expected eth1, eth0;
};

std::vector<std::string> veth(const std::string& name, const std::string& cidr = "")
{
    std::vector<std::string> commands = {
        "ip link add " + name + " type veth peer name " + name + "-p",
        "ip link set " + name + " up",
    };
    if (!cidr.empty())
        commands.push_back("ip addr add " + cidr + " brd + dev " + name);
    return commands;
}

std::vector<std::string> join(std::vector<std::vector<std::string>> parts)
{
    std::vector<std::string> all;
    for (auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Others come first in the kernel's list, as bridges and tunnels often do on a recorder.
std::vector<std::string> othersThenEth1(int others)
{
    std::vector<std::vector<std::string>> parts;
    for (int i = 0; i < others; ++i)
        parts.push_back(veth("br" + std::to_string(i), "10.0." + std::to_string(i) + ".1/24"));
    parts.push_back(veth("eth1", "192.168.1.1/24"));
    return join(parts);
}

const Expected kMissing{false, "", "", ""};
const Expected kCameraNet{true, "192.168.1.1", "192.168.1.255", "255.255.255.0"};
const Expected kCorporateNet{true, "10.20.30.40", "10.20.255.255", "255.255.0.0"};

const InventoryCase kCases[] = {
    {"BothPresent", join({veth("eth1", "192.168.1.1/24"), veth("eth0", "10.20.30.40/16")}),
     kCameraNet, kCorporateNet},
    {"CameraInterfaceWithoutAddress", join({veth("eth1"), veth("eth0", "10.20.30.40/16")}),
     kMissing, kCorporateNet},
    {"CameraInterfaceAfterTenOthers", othersThenEth1(10), kCameraNet, kMissing},
    {"CameraInterfaceAfterFortyOthers", othersThenEth1(40), kCameraNet, kMissing},
    {"TwoAddressesFirstWins",
     join({veth("eth1", "192.168.1.1/24"), {"ip addr add 172.16.5.5/12 brd + dev eth1"}}),
     kCameraNet, kMissing},
};

void PrintTo(const InventoryCase& c, std::ostream* os) { *os << c.name; }

class InventoryTest : public ::testing::TestWithParam<InventoryCase> {
protected:
    // A namespace of this test alone; the process goes back to its own afterwards, since the
    // tests after it in the same process use loopback.
    void SetUp() override
    {
        ASSERT_TRUE(home_.valid());
        ASSERT_EQ(unshare(CLONE_NEWNET), 0) << "needs root";
    }
    void TearDown() override { ASSERT_EQ(setns(home_.get(), CLONE_NEWNET), 0); }

private:
    UniqueFd home_ {::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC)};
};

void expectRecord(const interfaces_t& record, const Expected& expected)
{
    EXPECT_EQ(record.valid, expected.valid);
    EXPECT_EQ(record.address, expected.address);
    EXPECT_EQ(record.broadcast, expected.broadcast);
    EXPECT_EQ(record.netmask, expected.netmask);
}

TEST_P(InventoryTest, RecordsMatchTheNamespacesInterfaces)
{
    for (const std::string& command : GetParam().commands)
        ASSERT_EQ(std::system(command.c_str()), 0) << command;

    const NetworkConfig config("eth1", "eth0");

    EXPECT_EQ(config.network1.name, "eth1");
    EXPECT_EQ(config.network2.name, "eth0");
    {
        SCOPED_TRACE("eth1");
        expectRecord(config.network1, GetParam().eth1);
    }
    {
        SCOPED_TRACE("eth0");
        expectRecord(config.network2, GetParam().eth0);
    }
}

// The installation record prints it: the interface's six bytes, not an address made of four.
TEST_F(InventoryTest, HardwareAddressIsTheInterfacesMac)
{
    for (const char* command :
         {"ip link add eth1 address 02:ab:cd:00:01:ff type veth peer name eth1-p", "ip link set eth1 up",
          "ip addr add 192.168.1.1/24 brd + dev eth1"})
        ASSERT_EQ(std::system(command), 0) << command;
    EXPECT_EQ(NetworkConfig("eth1", "eth0").network1.hwaddr, "02:AB:CD:00:01:FF");
}

INSTANTIATE_TEST_SUITE_P(Namespace, InventoryTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
