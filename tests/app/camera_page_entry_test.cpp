// Arriving at the camera page: the DHCP file and service, the PoE power cycle and the scan, as
// the lab's stand-ins, the real dhcpd and the cameras record them.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cstdlib>
#include <regex>
#include <sstream>

#include "../camera/lab_support.h"
#include "../network/dhcpd_check.h"
#include "app/camera_page_fixture.h"
#include "app/navigation.h"
#include "app/process_objects.h"
#include "support/stdout_capture.h"
#include "utils/address.h"

namespace {

constexpr const char* kDhcpFile = "/etc/dhcp/dhcpd.conf";
constexpr uint16_t kWebPort = 80;

// The port requests of the PoE log, as "port=state" in their order.
std::vector<std::string> portRequests(const std::string& log)
{
    static const std::regex request(R"(ioctl fd=\S+ port=(\d+) state=(\d+))");
    std::vector<std::string> requests;
    std::istringstream in(log);
    std::string line;
    std::smatch m;
    while (std::getline(in, line))
        if (std::regex_search(line, m, request))
            requests.push_back(m[1].str() + "=" + m[2].str());
    return requests;
}

std::vector<std::string> powerCycle()
{
    std::vector<std::string> expected;
    for (int state : {0, 1})
        for (int port = 0; port < 16; ++port)
            expected.push_back(std::to_string(port) + "=" + std::to_string(state));
    return expected;
}

// The lines of the trace that start with one of the prefixes, in their order.
std::vector<std::string> tracedLines(const std::string& trace, const std::vector<std::string>& prefixes)
{
    std::vector<std::string> found;
    std::istringstream in(trace);
    std::string line;
    while (std::getline(in, line))
        for (const std::string& prefix : prefixes)
            if (line.rfind(prefix, 0) == 0)
                found.push_back(line);
    return found;
}

const std::vector<std::string> kServiceTraces = {
    "dhcp service restart success: [", "dhcp service enable success: [",
    "dhcp service stop success: [", "dhcp service disable success: ["};

class CameraPageEntry : public CameraPageTest {
protected:
    void SetUp() override
    {
        CameraPageTest::SetUp();
        serviceLogStart = sizeOf("service.log");
        systemctlLogStart = sizeOf("systemctl.log");
    }

    std::size_t serviceLogStart = 0;
    std::size_t systemctlLogStart = 0;
};

TEST_F(CameraPageEntry, DhcpOnWritesACheckedFileThenRestartsAndEnablesThenPowerCyclesAndScans)
{
    StdoutCapture out;
    arriveAtCameraPage(true);
    const std::string trace = out.finish();

    const DhcpdVerdict verdict = dhcpdCheck(kDhcpFile);
    EXPECT_EQ(verdict.status, 0) << verdict.output;
    EXPECT_NE(lab::fileText(kDhcpFile).find("range 192.168.1.120 192.168.1.180;"), std::string::npos)
        << lab::fileText(kDhcpFile);

    const std::vector<std::string> services = tracedLines(trace, kServiceTraces);
    ASSERT_EQ(services.size(), 2u) << trace;
    EXPECT_EQ(services[0].rfind("dhcp service restart success: [0] ", 0), 0u) << services[0];
    EXPECT_EQ(services[1].rfind("dhcp service enable success: [0] ", 0), 0u) << services[1];
    EXPECT_NE(linesSince("service.log", serviceLogStart).find(" restart -> 0"), std::string::npos);
    EXPECT_NE(linesSince("systemctl.log", systemctlLogStart).find(" enable isc-dhcp-server.service"),
              std::string::npos);
    EXPECT_EQ(labFile("isc-dhcp-server.enabled").substr(0, 7), "enabled");

    EXPECT_EQ(portRequests(linesSince("poe.log", poeLogStart)), powerCycle());

    // The server runs with the file just written: the rebooted cameras lease inside its new pool.
    for (const char* camera : {cams::kFresh, cams::kDefault}) {
        const uint32_t address = Utils::IPToUInt(lab::address(camera));
        EXPECT_GE(address, Utils::IPToUInt("192.168.1.120")) << camera;
        EXPECT_LE(address, Utils::IPToUInt("192.168.1.180")) << camera;
    }
    EXPECT_EQ(rows().size(), cams::kAll.size());
    EXPECT_NE(trace.find("broadcast_addr=192.168.1.255"), std::string::npos);
}

TEST_F(CameraPageEntry, DhcpOffStopsAndDisablesAndLeavesTheFileByteForByte)
{
    const std::string before = lab::fileText(kDhcpFile);
    // A request to 0.0.0.0 would reach the recorder itself.
    const UniqueFd unaddressed = lab::listenerIn("nvr", kWebPort);
    ASSERT_TRUE(unaddressed.valid());
    StdoutCapture out;
    arriveAtCameraPage(false);
    const std::string trace = out.finish();

    EXPECT_EQ(lab::fileText(kDhcpFile), before);
    const std::vector<std::string> services = tracedLines(trace, kServiceTraces);
    ASSERT_EQ(services.size(), 2u) << trace;
    EXPECT_EQ(services[0].rfind("dhcp service stop success: [0] ", 0), 0u) << services[0];
    EXPECT_EQ(services[1].rfind("dhcp service disable success: [0] ", 0), 0u) << services[1];
    EXPECT_NE(linesSince("service.log", serviceLogStart).find(" stop -> 0"), std::string::npos);
    EXPECT_NE(linesSince("systemctl.log", systemctlLogStart).find(" disable isc-dhcp-server.service"),
              std::string::npos);
    EXPECT_EQ(labFile("isc-dhcp-server.enabled").substr(0, 8), "disabled");
    EXPECT_EQ(portRequests(linesSince("poe.log", poeLogStart)), powerCycle());
    // Without a DHCP server only the static camera comes back with an address. The others all
    // reply 0.0.0.0: each keeps its row, and none is asked.
    EXPECT_EQ(rowOf(cams::kOwn).ip, "192.168.1.64");
    EXPECT_EQ(rows().size(), cams::kAll.size());
    for (const std::string& camera : cams::kAll) {
        if (camera == cams::kOwn)
            continue;
        SCOPED_TRACE(camera);
        const ListRow row = rowOf(camera);
        EXPECT_EQ(row.ip, "0.0.0.0");
        EXPECT_EQ(row.status, "No Address");
        EXPECT_NE(row.tooltip.find("no address yet"), std::string::npos) << row.tooltip;
    }
    EXPECT_FALSE(lab::connected(unaddressed.get()));
    EXPECT_EQ(trace.find("0.0.0.0/"), std::string::npos) << "a request URL for no address";
}

TEST_F(CameraPageEntry, BackFromTheFinalPageRunsItAllAgainBackFromTheCameraPageNothing)
{
    arriveAtCameraPage(true);
    on_button_apply_yes_clicked(nc);  // on to the final page
    ASSERT_EQ(stack_main->child_property_position(*stack_main->get_visible_child()), kFinalPage);

    std::size_t services = sizeOf("service.log");
    std::size_t poe = sizeOf("poe.log");
    driveCountdownWhenShown(true);
    on_button_back_clicked(nc);
    ASSERT_EQ(stack_main->child_property_position(*stack_main->get_visible_child()), kCameraPage);
    EXPECT_NE(linesSince("service.log", services).find(" restart -> 0"), std::string::npos);
    EXPECT_EQ(portRequests(linesSince("poe.log", poe)), powerCycle());
    EXPECT_EQ(rows().size(), cams::kAll.size());

    services = sizeOf("service.log");
    poe = sizeOf("poe.log");
    const std::size_t systemctl = sizeOf("systemctl.log");
    on_button_back_clicked(nc);
    pump_events();
    EXPECT_EQ(stack_main->child_property_position(*stack_main->get_visible_child()), kNetworkPage);
    EXPECT_FALSE(dialog_progress->get_visible());
    EXPECT_EQ(sizeOf("service.log"), services);
    EXPECT_EQ(sizeOf("systemctl.log"), systemctl);
    EXPECT_EQ(sizeOf("poe.log"), poe);
}

// Covers a path in this test's private mount namespace for as long as it lives.
class Hidden {
public:
    explicit Hidden(const char* path) : path_(path)
    {
        mounted_ = mount("tmpfs", path, "tmpfs", 0, "mode=0755") == 0;
        EXPECT_TRUE(mounted_) << "cannot cover " << path;
    }
    ~Hidden()
    {
        if (mounted_)
            umount(path_);
    }

private:
    const char* path_;
    bool mounted_ = false;
};

TEST_F(CameraPageEntry, MissingInitScriptAndSystemctlAreTracedAndTheScanStillRuns)
{
    Hidden initScripts("/etc/init.d");
    // Only the shell's search finds systemctl; a PATH without it is a machine without it.
    const std::string path = std::getenv("PATH");
    setenv("PATH", "/nonexistent", 1);

    StdoutCapture out;
    arriveAtCameraPage(false);
    const std::string trace = out.finish();
    setenv("PATH", path.c_str(), 1);

    const std::vector<std::string> services = tracedLines(trace, kServiceTraces);
    ASSERT_EQ(services.size(), 2u) << trace;
    EXPECT_EQ(services[0], "dhcp service stop success: [127] ");
    EXPECT_EQ(services[1], "dhcp service disable success: [127] ");
    EXPECT_EQ(sizeOf("service.log"), serviceLogStart);
    EXPECT_EQ(sizeOf("systemctl.log"), systemctlLogStart);
    EXPECT_EQ(portRequests(linesSince("poe.log", poeLogStart)), powerCycle());
    // The scan ran: the static camera answers whatever the DHCP server did.
    EXPECT_EQ(rowOf(cams::kOwn).ip, "192.168.1.64");
    EXPECT_NE(trace.find("cameras="), std::string::npos);
}

}  // namespace
