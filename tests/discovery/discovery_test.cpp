#include <fcntl.h>
#include <poll.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include <glibmm/main.h>

#include "../camera/canned_http_server.h"
#include "support/stdout_capture.h"
#include "discovery/discovery.h"
#include "network/camera_network.h"
#include "utils/command.h"
#include "utils/unique_fd.h"

TEST(ReceiveDiscoveryMessage, WithoutReplySocketTracesAndReturnsFalse)
{
    Discovery discovery;
    discovery.CloseSocket();
    std::string model = "m", status = "s", mode = "o", ip = "i", mac = "a", firmware = "f";

    StdoutCapture capture;
    const bool received = discovery.ReceiveDiscoveryMessage(model, status, mode, ip, mac, firmware);
    const std::string trace = capture.finish();

    EXPECT_FALSE(received);
    const std::string prefix = "socket creation failed: ";
    ASSERT_EQ(trace.compare(0, prefix.size(), prefix), 0) << trace;
    EXPECT_GT(trace.size(), prefix.size() + 1) << "the system's error text follows";
    EXPECT_EQ(model + status + mode + ip + mac + firmware, "msoiaf");
}

namespace {

// Which of the descriptors a command started through the shell still holds.
std::string inheritedBy(const std::vector<int>& fds)
{
    std::string probe;
    for (int fd : fds)
        probe += "[ -e /proc/self/fd/" + std::to_string(fd) + " ] && echo " + std::to_string(fd) + "; ";
    int exitCode = 0;
    return Utils::execCommand(probe + "true", exitCode);
}

}  // namespace

// The sockets are bound in a network namespace of the test's own, never on the host's networks;
// the process returns to its own namespace afterwards, for the loopback of the tests that follow.
class DiscoverySockets : public testing::Test {
protected:
    void SetUp() override
    {
        home_.reset(open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC));
        ASSERT_TRUE(home_.valid());
        ASSERT_EQ(unshare(CLONE_NEWNET), 0) << "needs root";
    }
    void TearDown() override
    {
        Discovery().CloseSocket();
        if (home_.valid()) {
            EXPECT_EQ(setns(home_.get(), CLONE_NEWNET), 0);
        }
    }

private:
    UniqueFd home_;
};

TEST_F(DiscoverySockets, CloseOnExecSoNoCommandInheritsThem)
{
    Discovery discovery;
    ASSERT_TRUE(discovery.OpenSocket("127.0.0.1"));
    const std::vector<int> sockets = {send_socket_.get(), recv_socket_.get()};
    for (int fd : sockets)
        EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0) << fd;
    EXPECT_EQ(inheritedBy(sockets), "");

    // The probe does see a descriptor that is not close-on-exec.
    UniqueFd inheritable(dup(recv_socket_.get()));
    ASSERT_TRUE(inheritable.valid());
    EXPECT_EQ(inheritedBy({inheritable.get()}), std::to_string(inheritable.get()) + "\n");
}

namespace {

constexpr uint16_t kRequestPort = 7701;
constexpr uint16_t kReplyPort = 7711;

UniqueFd boundUdp(uint16_t port)
{
    UniqueFd fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP));
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        fd.reset();
    return fd;
}

bool datagramWaiting(int fd)
{
    pollfd waiting{fd, POLLIN, 0};
    return poll(&waiting, 1, 200) == 1;
}

void sendToLoopback(const std::string& datagram, uint16_t port)
{
    UniqueFd sender(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP));
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sendto(sender.get(), datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

std::string cameraReply(const std::string& mac, const std::string& ip)
{
    std::string data(334, '\0');
    data.replace(19, mac.size(), mac);
    data.replace(37, ip.size(), ip);
    data[132] = 1;
    return data;
}

}  // namespace

// The reply port held by another program: the scan sends no request and waits for nothing.
TEST(DiscoveryWithoutSockets, NoRequestLeavesAndTheFailureIsTracedOnce)
{
    PrivateLoopback loopback;
    ASSERT_TRUE(loopback.ready()) << "needs root";
    const UniqueFd requests = boundUdp(kRequestPort);
    const UniqueFd occupied = boundUdp(kReplyPort);
    ASSERT_TRUE(requests.valid() && occupied.valid());

    Discovery discovery;
    StdoutCapture capture;
    const bool sent = discovery.SendBroadcastPacket("127.0.0.1");
    const std::string trace = capture.finish();

    EXPECT_FALSE(sent);
    EXPECT_EQ(trace, "Sending Broadcast Packet on 127.0.0.1\nopen socket error: Address already in use\n");
    EXPECT_FALSE(send_socket_.valid());
    EXPECT_FALSE(recv_socket_.valid());
    EXPECT_FALSE(datagramWaiting(requests.get())) << "a request left on a half-opened pair";
}

// Only a reply that arrived on the camera interface counts. Here the loopback is the camera
// network ("lo"), or the camera interface is one the namespace does not have.
TEST(DiscoveryArrival, OnlyRepliesOnTheCameraInterfaceCount)
{
    struct Case {
        const char* interfaceName;
        bool listed;
    };
    for (const Case& c : {Case{"lo", true}, Case{"eth1", false}}) {
        SCOPED_TRACE(c.interfaceName);
        PrivateLoopback loopback;
        ASSERT_TRUE(loopback.ready()) << "needs root";
        useCameraNetwork(CameraNetwork{c.interfaceName, "127.0.0.254", "255.0.0.0"});

        Discovery discovery;
        StdoutCapture capture;
        ASSERT_TRUE(discovery.SendBroadcastPacket("127.255.255.255"));
        sendToLoopback(cameraReply("02:56:4C:00:00:09", "127.0.0.9"), kReplyPort);
        std::string model, status, mode, ip, mac, firmware;
        const bool received = discovery.ReceiveDiscoveryMessage(model, status, mode, ip, mac, firmware);
        discovery.CloseSocket();
        const std::string trace = capture.finish();

        EXPECT_EQ(received, c.listed);
        EXPECT_EQ(mac, c.listed ? "02:56:4C:00:00:09" : "");
        EXPECT_EQ(trace.find("reply not from the camera network: lo\n") != std::string::npos, !c.listed) << trace;
    }
}

// The waits for replies run the main loop: a reply that only a main-loop source sends still
// arrives, the loop's other sources keep running through the silence at the end, and the
// installer's Cancel ends a wait at once.
TEST(DiscoveryWaits, TheMainLoopRunsWhileTheScanListens)
{
    PrivateLoopback loopback;
    ASSERT_TRUE(loopback.ready()) << "needs root";
    useCameraNetwork(CameraNetwork{"lo", "127.0.0.254", "255.0.0.0"});

    Discovery discovery;
    StdoutCapture capture;
    ASSERT_TRUE(discovery.SendBroadcastPacket("127.255.255.255"));
    Glib::signal_timeout().connect_once(
        [] { sendToLoopback(cameraReply("02:56:4C:00:00:09", "127.0.0.9"), kReplyPort); }, 200);
    int ticks = 0;
    sigc::connection ticker = Glib::signal_timeout().connect(
        [&ticks] {
            ++ticks;
            return true;
        },
        50);

    std::string model, status, mode, ip, mac, firmware;
    EXPECT_TRUE(discovery.ReceiveDiscoveryMessage(model, status, mode, ip, mac, firmware));
    EXPECT_EQ(mac, "02:56:4C:00:00:09");
    const int ticksAtReply = ticks;
    const auto silenceStart = std::chrono::steady_clock::now();
    EXPECT_FALSE(discovery.ReceiveDiscoveryMessage(model, status, mode, ip, mac, firmware));
    const auto silence = std::chrono::steady_clock::now() - silenceStart;
    ticker.disconnect();
    discovery.CloseSocket();
    capture.finish();

    EXPECT_GE(ticksAtReply, 2) << "the loop ran while the first reply was awaited";
    EXPECT_GE(silence, std::chrono::milliseconds(3900)) << "the 4 s of silence end the scan";
    // A tick every 50 ms through 4 s of silence: the loop was never held.
    EXPECT_GE(ticks - ticksAtReply, 40);
}

TEST(DiscoveryWaits, CollectingEndsWhenEveryExpectedCameraAnsweredOrOnStop)
{
    PrivateLoopback loopback;
    ASSERT_TRUE(loopback.ready()) << "needs root";
    useCameraNetwork(CameraNetwork{"lo", "127.0.0.254", "255.0.0.0"});
    const std::string a = "02:56:4C:00:00:0A", b = "02:56:4C:00:00:0B";
    const ReplyAddresses both = {{a, "127.0.0.10"}, {b, "127.0.0.11"}};

    struct Case {
        const char* what;
        std::set<std::string> expected;
        bool stop;
        ReplyAddresses seen;
        bool early;  // ends well before the limit
    };
    const Case cases[] = {
        {"all answered", {a, b}, false, both, true},
        {"one missing waits the limit", {a, b, "02:56:4C:00:00:0C"}, false, both, false},
        {"nothing expected", {}, false, {}, true},
        {"stopped", {a, b, "02:56:4C:00:00:0C"}, true, both, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Discovery discovery;
        StdoutCapture capture;
        ASSERT_TRUE(discovery.SendBroadcastPacket("127.255.255.255"));
        sendToLoopback(cameraReply(a, "127.0.0.10"), kReplyPort);
        sendToLoopback(cameraReply(b, "127.0.0.11"), kReplyPort);
        if (c.stop)
            Glib::signal_timeout().connect_once([&discovery] { discovery.StopWaiting(); }, 300);
        const auto start = std::chrono::steady_clock::now();
        const ReplyAddresses seen = discovery.CollectReplies(c.expected, std::chrono::milliseconds(3000));
        const auto took = std::chrono::steady_clock::now() - start;
        discovery.CloseSocket();
        capture.finish();

        if (!c.expected.empty()) {
            EXPECT_EQ(seen, c.seen);
        }
        EXPECT_EQ(took < std::chrono::milliseconds(2000), c.early);
        EXPECT_GE(took, c.early ? std::chrono::milliseconds(0) : std::chrono::milliseconds(2900));
    }
}

// Every camera answers the broadcast at once, and the replies wait in the socket through the
// scan's pause: a whole burst of them must fit, not only as many as the system's default holds.
TEST(DiscoveryArrival, ABurstOfTwoHundredFiftySixRepliesIsHeldWhole)
{
    constexpr int kCameras = 256;
    PrivateLoopback loopback;
    ASSERT_TRUE(loopback.ready()) << "needs root";
    useCameraNetwork(CameraNetwork{"lo", "127.0.0.254", "255.0.0.0"});

    Discovery discovery;
    StdoutCapture capture;
    ASSERT_TRUE(discovery.SendBroadcastPacket("127.255.255.255"));
    for (int i = 0; i < kCameras; ++i) {
        char mac[18];
        std::snprintf(mac, sizeof mac, "02:56:4C:00:%02X:%02X", i / 256, i % 256);
        sendToLoopback(cameraReply(mac, "127.0.1." + std::to_string(i % 250 + 1)), kReplyPort);
    }
    std::set<std::string> macs;
    std::string model, status, mode, ip, mac, firmware;
    while (discovery.ReceiveDiscoveryMessage(model, status, mode, ip, mac, firmware))
        macs.insert(mac);
    discovery.CloseSocket();
    capture.finish();
    EXPECT_EQ(macs.size(), static_cast<std::size_t>(kCameras));
}
