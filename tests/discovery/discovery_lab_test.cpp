// PoE control through the lab's driver stand-in, and discovery scans on the lab's camera
// network: the request goes out as a real broadcast on eth1 and the simulated cameras answer
// over the bridge, while the test adds crafted datagrams of its own to the same reply port.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../camera/lab_support.h"
#include "support/stdout_capture.h"
#include "discovery/discovery.h"
#include "discovery/poe.h"
#include "utils/unique_fd.h"

namespace {

constexpr const char* kCameraBroadcast = "192.168.1.255";
constexpr uint16_t kRequestPort = 7701;
constexpr uint16_t kReplyPort = 7711;
constexpr std::size_t kMessage = 334;

sockaddr_in loopback(uint16_t port)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return to;
}

// The recorder's reply port on its camera interface, where only the camera network's hosts
// reach it: replies sent from a camera's namespace arrive there as a camera's do.
constexpr const char* kRecorderCameraSide = "192.168.1.1";

sockaddr_in cameraSide(uint16_t port)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    inet_pton(AF_INET, kRecorderCameraSide, &to.sin_addr);
    return to;
}

// What the recorder's own side of the bridge hears on the request port: the broadcast itself.
UniqueFd requestListener()
{
    UniqueFd listener(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    const int on = 1;
    setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(kRequestPort);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(listener.get(), reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0)
        listener.reset();
    return listener;
}

// Every datagram already waiting, after one short wait for the first.
std::vector<std::string> drain(int fd)
{
    std::vector<std::string> datagrams;
    for (;;) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(fd, &readable);
        timeval wait{datagrams.empty() ? 1 : 0, 0};
        if (select(fd + 1, &readable, nullptr, nullptr, &wait) <= 0)
            return datagrams;
        char buffer[2048];
        const ssize_t count = recv(fd, buffer, sizeof buffer, 0);
        if (count < 0)
            return datagrams;
        datagrams.emplace_back(buffer, static_cast<std::size_t>(count));
    }
}

std::string craftedReply(const std::string& mac, const std::string& ip, const std::string& model, uint8_t mode)
{
    std::string data(kMessage, '\0');
    data.replace(19, mac.size(), mac);
    data.replace(37, ip.size(), ip);
    data.replace(109, model.size(), model);
    data[132] = static_cast<char>(mode);
    return data;
}

struct Decoded {
    std::string model, status, mode, ip, firmware;
};

struct Scan {
    std::map<std::string, Decoded> byMac;
    int replies = 0;
    std::string trace;
};

// One whole scan as the camera list runs it; `meanwhile` runs right after the broadcast.
Scan scan(const std::function<void()>& meanwhile)
{
    Discovery discovery;
    Scan result;
    StdoutCapture capture;
    discovery.SendBroadcastPacket(kCameraBroadcast);
    meanwhile();
    Decoded d;
    std::string mac;
    while (discovery.ReceiveDiscoveryMessage(d.model, d.status, d.mode, d.ip, mac, d.firmware)) {
        result.byMac[mac] = d;
        ++result.replies;
    }
    discovery.CloseSocket();
    result.trace = capture.finish();
    return result;
}

std::string poeLog()
{
    return lab::labDir() + "/poe.log";
}

std::vector<std::string> poeLogOf(pid_t pid, std::size_t since)
{
    const std::string mark = " pid=" + std::to_string(pid) + " ";
    std::vector<std::string> lines;
    std::istringstream in(lab::fileText(poeLog(), since));
    std::string line;
    while (std::getline(in, line)) {
        const auto at = line.find(mark);
        if (at != std::string::npos)
            lines.push_back(line.substr(at + mark.size()));
    }
    return lines;
}

const char* const kCameras[] = {lab::kFresh, lab::kDefault, lab::kUsers, lab::kOkLine, lab::kHuge, lab::kChunky};

// Sends the datagrams in turn to the reply port from a thread of its own, one per interval, until
// stopped or `limit` have gone: the test's traffic stays bounded whatever the scan does. From the
// recorder over its loopback, or from a camera's namespace to the recorder's camera side.
class ReplySender {
public:
    ReplySender(std::vector<std::string> datagrams, int limit, std::chrono::milliseconds interval,
                const std::string& fromCamera = "")
        : datagrams_(std::move(datagrams)),
          socket_(fromCamera.empty() ? UniqueFd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP))
                                     : lab::socketIn(fromCamera, SOCK_DGRAM))
    {
        EXPECT_TRUE(socket_.valid());
        const sockaddr_in to = fromCamera.empty() ? loopback(kReplyPort) : cameraSide(kReplyPort);
        worker_ = std::thread([this, limit, interval, to] {
            std::unique_lock<std::mutex> lock(mutex_);
            for (int i = 0; i < limit && !stopping_; ++i) {
                const std::string& datagram = datagrams_[static_cast<std::size_t>(i) % datagrams_.size()];
                sendto(socket_.get(), datagram.data(), datagram.size(), 0,
                       reinterpret_cast<const sockaddr*>(&to), sizeof to);
                ++sent_;
                wake_.wait_for(lock, interval, [this] { return stopping_; });
            }
        });
    }
    ~ReplySender() { stop(); }
    ReplySender(const ReplySender&) = delete;
    ReplySender& operator=(const ReplySender&) = delete;

    void stop()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (worker_.joinable())
            worker_.join();
    }
    int sent() const { return sent_; }

private:
    const std::vector<std::string> datagrams_;
    UniqueFd socket_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::atomic<int> sent_{0};
    std::thread worker_;
};

// How many datagrams the scan read, by its trace; a read that found none shows size -1.
int datagramsRead(const std::string& trace)
{
    int read = 0;
    std::istringstream in(trace);
    std::string line;
    int size = 0;
    while (std::getline(in, line))
        if (std::sscanf(line.c_str(), "recv size=%d", &size) == 1 && size >= 0)
            ++read;
    return read;
}

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

TEST(LabPoe, SixteenPortRequestsThroughTheDriver)
{
    ASSERT_TRUE(lab::waitAllReady());
    const std::size_t since = lab::fileText(poeLog()).size();
    // Power cycles from before this test must not count as this one's.
    std::map<std::string, std::size_t> eventsBefore;
    for (const char* camera : kCameras)
        eventsBefore[camera] = lab::fileText(lab::cameraFile(camera, "events.log")).size();

    StdoutCapture capture;
    throttle_switchports(0);
    throttle_switchports(1);
    throttle_switchports(2);  // refused before the device is opened
    const std::string trace = capture.finish();

    int fd = -1;
    ASSERT_EQ(std::sscanf(trace.c_str(), "fd: %d", &fd), 1) << trace;
    ASSERT_GE(fd, 0);
    std::string expectedTrace;
    std::vector<std::string> expectedLog;
    for (int state : {0, 1}) {
        expectedTrace += "fd: " + std::to_string(fd) + "\ncmd: -1073217280\n";
        // Close-on-exec, as the stand-in's own descriptor shows it.
        expectedLog.push_back("open /dev/poe fd=" + std::to_string(fd) + " cloexec=1");
        for (int port = 0; port < 16; ++port) {
            expectedTrace += "ret: 0\n";
            expectedLog.push_back("ioctl fd=" + std::to_string(fd) + " port=" + std::to_string(port) +
                                  " state=" + std::to_string(state) + " ret=0");
        }
        expectedLog.push_back("close fd=" + std::to_string(fd));
    }
    EXPECT_EQ(trace, expectedTrace);
    EXPECT_EQ(poeLogOf(getpid(), since), expectedLog);

    // The cameras went dark and booted again; the later tests need them answering.
    for (const char* camera : kCameras)
        EXPECT_TRUE(lab::waitUntil([&, camera] {
            const std::string events = lab::fileText(lab::cameraFile(camera, "events.log"), eventsBefore[camera]);
            const auto off = events.find("power: off");
            return off != std::string::npos && events.find("power: on after boot", off) != std::string::npos;
        })) << camera;
    ASSERT_TRUE(lab::waitAllReady());
}

// One port: one request through the driver, and only the camera on that port goes dark.
TEST(LabPoe, OnePortRequestPowersOnlyItsCamera)
{
    ASSERT_TRUE(lab::waitAllReady());
    const std::size_t since = lab::fileText(poeLog()).size();
    std::map<std::string, std::size_t> eventsBefore;
    for (const char* camera : kCameras)
        eventsBefore[camera] = lab::fileText(lab::cameraFile(camera, "events.log")).size();
    const int port = std::stoi(lab::state(lab::kDefault, "s[\"port\"]"));

    StdoutCapture capture;
    switch_port(port, 0);
    ASSERT_TRUE(lab::waitUntil([] { return lab::state(lab::kDefault, "s[\"power\"]") == "off"; }));
    switch_port(port, 1);
    const std::string trace = capture.finish();

    int fd = -1;
    ASSERT_EQ(std::sscanf(trace.c_str(), "fd: %d", &fd), 1) << trace;
    const std::string once = "fd: " + std::to_string(fd) + "\ncmd: -1073217280\nret: 0\n";
    EXPECT_EQ(trace, once + once);
    std::vector<std::string> expectedLog;
    for (int state : {0, 1}) {
        expectedLog.push_back("open /dev/poe fd=" + std::to_string(fd) + " cloexec=1");
        expectedLog.push_back("ioctl fd=" + std::to_string(fd) + " port=" + std::to_string(port) +
                              " state=" + std::to_string(state) + " ret=0");
        expectedLog.push_back("close fd=" + std::to_string(fd));
    }
    EXPECT_EQ(poeLogOf(getpid(), since), expectedLog);
    for (const char* camera : kCameras) {
        const bool off = lab::fileText(lab::cameraFile(camera, "events.log"), eventsBefore[camera]).find("power: off") !=
                         std::string::npos;
        EXPECT_EQ(off, std::string(camera) == lab::kDefault) << camera;
    }
    ASSERT_TRUE(lab::waitAllReady());
}

TEST(LabDiscovery, CamerasAndCraftedDatagramsOnTheReplyPort)
{
    ASSERT_TRUE(lab::waitAllReady());
    UniqueFd listener = requestListener();
    ASSERT_TRUE(listener.valid());
    // Sent from the static camera's namespace, so they arrive on the camera interface.
    UniqueFd sender = lab::socketIn(lab::kDefault, SOCK_DGRAM);
    ASSERT_TRUE(sender.valid());
    UniqueFd local(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP));

    // Strays of every wrong size first, then replies that no camera sent.
    const std::vector<std::string> crafted = {
        std::string(),
        std::string(1, '\x07'),
        std::string(kMessage - 1, 'a'),
        std::string(kMessage + 1, 'b'),
        std::string(2000, 'c'),
        craftedReply("CR:AF:TE:D0:00:00", "10.0.0.1", "Crafted-Static", 0),
        craftedReply("CR:AF:TE:D0:00:01", "10.0.0.2", "Crafted-One", 1),
        craftedReply("CR:AF:TE:D0:00:02", "10.0.0.3", "Crafted-Two", 2),
        craftedReply("CR:AF:TE:D0:00:FF", "10.0.0.4", "Crafted-255", 255),
        // A model that fills its field runs on over the mode byte into what follows.
        craftedReply("CR:AF:TE:D0:00:AA", "10.0.0.5", std::string(23, 'M') + "\x02" + "FW", 2),
    };
    // A well-formed reply over the recorder's own loopback: not from the camera network.
    const std::string fromLoopback = craftedReply("CR:AF:TE:D0:00:10", "192.168.1.77", "Crafted-Lo", 1);
    const Scan first = scan([&] {
        const sockaddr_in to = cameraSide(kReplyPort);
        for (const std::string& datagram : crafted)
            sendto(sender.get(), datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                   sizeof to);
        const sockaddr_in self = loopback(kReplyPort);
        sendto(local.get(), fromLoopback.data(), fromLoopback.size(), 0, reinterpret_cast<const sockaddr*>(&self),
               sizeof self);
    });
    EXPECT_EQ(first.byMac.count("CR:AF:TE:D0:00:10"), 0u);
    EXPECT_NE(first.trace.find("recv size=334\nreply not from the camera network: lo\n"), std::string::npos);

    const std::map<std::string, Decoded> expectedCrafted = {
        {"CR:AF:TE:D0:00:00", {"Crafted-Static", "Not Connected", "Static", "10.0.0.1", "Unknown"}},
        {"CR:AF:TE:D0:00:01", {"Crafted-One", "Not Connected", "DHCP", "10.0.0.2", "Unknown"}},
        {"CR:AF:TE:D0:00:02", {"Crafted-Two", "Not Connected", "DHCP", "10.0.0.3", "Unknown"}},
        {"CR:AF:TE:D0:00:FF", {"Crafted-255", "Not Connected", "DHCP", "10.0.0.4", "Unknown"}},
        {"CR:AF:TE:D0:00:AA", {std::string(23, 'M') + "\x02" + "FW", "Not Connected", "DHCP", "10.0.0.5", "Unknown"}},
    };
    for (const auto& [mac, want] : expectedCrafted) {
        const auto found = first.byMac.find(mac);
        ASSERT_NE(found, first.byMac.end()) << mac << " was hidden by the strays before it";
        const Decoded& got = found->second;
        EXPECT_EQ(got.model, want.model) << mac;
        EXPECT_EQ(got.status, want.status) << mac;
        EXPECT_EQ(got.mode, want.mode) << mac;
        EXPECT_EQ(got.ip, want.ip) << mac;
        EXPECT_EQ(got.firmware, want.firmware) << mac;
    }

    // Every camera answered over the bridge, but the one whose reply is a byte short.
    for (const char* camera : kCameras) {
        const std::string mac = lab::state(camera, "s[\"mac\"]");
        const auto found = first.byMac.find(mac);
        if (std::string(camera) == lab::kOkLine) {
            EXPECT_EQ(found, first.byMac.end());
            continue;
        }
        ASSERT_NE(found, first.byMac.end()) << camera;
        EXPECT_EQ(found->second.ip, lab::address(camera)) << camera;
        EXPECT_EQ(found->second.model, lab::state(camera, "s[\"model\"]")) << camera;
        EXPECT_EQ(found->second.mode, lab::state(camera, "s[\"mode\"]") == "DHCP" ? "DHCP" : "Static") << camera;
    }
    EXPECT_EQ(first.replies, 5 + 5);

    for (const char* size : {"recv size=0\n", "recv size=1\n", "recv size=333\n", "recv size=335\n",
                             "recv size=1499\n"})
        EXPECT_NE(first.trace.find(std::string(size) + "recv size error\n"), std::string::npos) << size;
    const std::string end = "recv size=-1\nrecv size error\n";
    ASSERT_GE(first.trace.size(), end.size());
    EXPECT_EQ(first.trace.substr(first.trace.size() - end.size()), end) << "the scan ends on silence";
    EXPECT_NE(first.trace.find("Sending Broadcast Packet on 192.168.1.255\nopen socket success\n"
                               "id: 3C-2C-30-AA-66-07\nmode: 0\n"),
              std::string::npos);

    // The request as it went out: code 6, the identifier with its NUL, zeros to 334 bytes.
    const std::vector<std::string> firstRequest = drain(listener.get());
    ASSERT_EQ(firstRequest.size(), 1u) << "one request per scan";
    std::string expectedRequest(kMessage, '\0');
    expectedRequest[0] = 6;
    expectedRequest.replace(1, 17, "3C-2C-30-AA-66-07");
    EXPECT_EQ(firstRequest[0], expectedRequest);

    // A second scan opens fresh sockets, sends the same bytes and finds the cameras again.
    const Scan second = scan([] {});
    EXPECT_EQ(drain(listener.get()), firstRequest);
    EXPECT_EQ(second.replies, 5);
    for (const char* camera : kCameras)
        EXPECT_EQ(second.byMac.count(lab::state(camera, "s[\"mac\"]")), std::string(camera) == lab::kOkLine ? 0u : 1u)
            << camera;
}

// A device that never stops answering must not hold the scan: it ends by itself after 30 s of
// listening, while the sender would go on for a minute.
TEST(LabDiscovery, EndlessRepliesEndTheScanAtItsTimeLimit)
{
    ASSERT_TRUE(lab::waitAllReady());
    constexpr double kLimitSeconds = 30;
    constexpr double kSlackSeconds = 5;
    std::optional<ReplySender> sender;
    const auto start = std::chrono::steady_clock::now();
    const Scan endless = scan([&] {
        sender.emplace(std::vector<std::string>{craftedReply("02:4C:41:42:FF:01", "10.0.0.9", "LAB-CRAFTED", 1)},
                       60, std::chrono::seconds(1), lab::kDefault);
    });
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    sender->stop();

    EXPECT_GE(took, kLimitSeconds);
    EXPECT_LT(took, kLimitSeconds + kSlackSeconds);
    EXPECT_TRUE(endsWith(endless.trace, "discovery listening limit reached\n")) << endless.trace;
    EXPECT_EQ(endless.byMac.count("02:4C:41:42:FF:01"), 1u);
    for (const char* camera : kCameras)
        EXPECT_EQ(endless.byMac.count(lab::state(camera, "s[\"mac\"]")), std::string(camera) == lab::kOkLine ? 0u : 1u)
            << camera;
}

// A flood of stray datagrams ends the scan once it has read 256 of them, long before the flood ends.
TEST(LabDiscovery, FloodOfStraysEndsTheScanAtItsDatagramLimit)
{
    ASSERT_TRUE(lab::waitAllReady());
    constexpr int kFlood = 2000;
    std::optional<ReplySender> sender;
    const Scan flooded = scan([&] {
        sender.emplace(std::vector<std::string>{std::string(100, 's'), std::string(kMessage + 1, 'b')}, kFlood,
                       std::chrono::milliseconds(5));
    });
    const int sentDuringScan = sender->sent();
    sender->stop();

    EXPECT_EQ(datagramsRead(flooded.trace), 256);
    EXPECT_TRUE(endsWith(flooded.trace, "discovery listening limit reached\n")) << flooded.trace.size();
    EXPECT_LT(sentDuringScan, kFlood) << "the scan ended before the flood did";
}
