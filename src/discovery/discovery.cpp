#include "discovery/discovery.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <chrono>
#include <cstring>
#include <iostream>

#include <glibmm/main.h>

#include "network/camera_network.h"

UniqueFd send_socket_;
UniqueFd recv_socket_;

namespace {

constexpr uint16_t kRequestPort = 7701;
constexpr uint16_t kReplyPort = 7711;
constexpr std::size_t kReceiveBufferSize = 1500;
constexpr std::chrono::milliseconds kReplyWait{4000};

constexpr uint8_t kRequestCode = 6;
constexpr std::size_t kIdentifierOffset = 1;
constexpr char kIdentifier[] = "3C-2C-30-AA-66-07";  // sent with its NUL: 18 bytes
static_assert(kIdentifierOffset + sizeof kIdentifier <= kDiscoveryMessageSize, "request layout");

// What one scan may spend listening, so that a device that never stops sending cannot hold the
// scan; sixteen ports with one answer each stay far below both limits.
constexpr std::chrono::seconds kScanListeningLimit{30};
constexpr unsigned kScanDatagramLimit = 256;

// Every camera answers the broadcast at once and the replies wait through the scan's pause; the
// kernel charges each about 1.3 KiB, so the system's default buffer holds only some 160 of them.
constexpr int kReplyBurstBytes = static_cast<int>(kScanDatagramLimit) * 4096;

struct ScanBudget {
    std::chrono::steady_clock::duration listened{};
    unsigned datagrams = 0;
};
// The budget of the scan in progress, like the sockets; the broadcast starts a fresh one.
ScanBudget scanBudget;

// The camera interface's index as the kernel numbers it, found when the sockets open; 0 (no
// interface) while it is not there, so then no reply counts.
unsigned int cameraInterfaceIndex = 0;

// Adds the time spent in one ReceiveDiscoveryMessage call to the scan's budget, however it returns.
class ListeningClock {
public:
    ListeningClock() : start_(std::chrono::steady_clock::now()), listenedBefore_(scanBudget.listened) {}
    ~ListeningClock() { scanBudget.listened = listened(); }
    ListeningClock(const ListeningClock&) = delete;
    ListeningClock& operator=(const ListeningClock&) = delete;

    std::chrono::steady_clock::duration listened() const
    {
        return listenedBefore_ + (std::chrono::steady_clock::now() - start_);
    }

private:
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::duration listenedBefore_;
};

// The program starts a long-lived daemon through the shell, which must not inherit the scan's sockets.
UniqueFd udpSocket()
{
    return UniqueFd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP));
}

// Reads one waiting datagram, without waiting; arrivedOn is the index of the interface it came
// in on, 0 when the kernel did not say.
ssize_t receiveDatagram(int fd, uint8_t* buffer, std::size_t size, unsigned int& arrivedOn)
{
    iovec part{buffer, size};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    arrivedOn = 0;
    const ssize_t count = recvmsg(fd, &message, MSG_DONTWAIT);
    if (count < 0)
        return count;
    for (cmsghdr* item = CMSG_FIRSTHDR(&message); item != nullptr; item = CMSG_NXTHDR(&message, item)) {
        if (item->cmsg_level != IPPROTO_IP || item->cmsg_type != IP_PKTINFO)
            continue;
        in_pktinfo info{};
        std::memcpy(&info, CMSG_DATA(item), sizeof info);
        arrivedOn = static_cast<unsigned int>(info.ipi_ifindex);
    }
    return count;
}

std::string interfaceName(unsigned int index)
{
    char name[IF_NAMESIZE] = {};
    return index != 0 && if_indextoname(index, name) != nullptr ? name : "unknown";
}

bool enable(int fd, int option)
{
    const int on = 1;
    return setsockopt(fd, SOL_SOCKET, option, &on, sizeof on) == 0;
}

}  // namespace

bool Discovery::OpenSocket(const char* /*address*/)
{
    cameraInterfaceIndex = if_nametoindex(cameraNetwork().interfaceName.c_str());
    send_socket_ = udpSocket();
    if (!send_socket_.valid())
        return false;
    recv_socket_ = udpSocket();
    if (!recv_socket_.valid())
        return false;
    if (!enable(send_socket_.get(), SO_BROADCAST))
        return false;
    if (!enable(recv_socket_.get(), SO_REUSEADDR))
        return false;
    // Past the system's cap where the program may (it runs as root); else as much as the cap allows.
    if (setsockopt(recv_socket_.get(), SOL_SOCKET, SO_RCVBUFFORCE, &kReplyBurstBytes, sizeof kReplyBurstBytes) != 0)
        setsockopt(recv_socket_.get(), SOL_SOCKET, SO_RCVBUF, &kReplyBurstBytes, sizeof kReplyBurstBytes);
    // Replies are taken on every local address, so the kernel must say where each one arrived.
    const int on = 1;
    if (setsockopt(recv_socket_.get(), IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0)
        return false;

    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(kReplyPort);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(recv_socket_.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return false;
    return true;
}

bool Discovery::SendBroadcastPacket(const char* address)
{
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(kRequestPort);
    destination.sin_addr.s_addr = inet_addr(address);
    scanBudget = ScanBudget{};
    stopped_ = false;

    std::cout << "Sending Broadcast Packet on " << address << std::endl;
    if (OpenSocket(address)) {
        std::cout << "open socket success" << std::endl;
    } else {
        // Nothing is sent on a socket that is not there, and nothing is listened for.
        std::cout << "open socket error: " << std::strerror(errno) << std::endl;
        CloseSocket();
        return false;
    }

    uint8_t request[kDiscoveryMessageSize] = {};
    request[0] = kRequestCode;
    std::memcpy(request + kIdentifierOffset, kIdentifier, sizeof kIdentifier);

    const ssize_t sent = sendto(send_socket_.get(), request, sizeof request, 0,
                                reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
    if (sent != static_cast<ssize_t>(sizeof request)) {
        std::cout << "sendto 1 fail" << std::endl;
        CloseSocket();
        return false;
    }
    std::cout << "id: " << kIdentifier << std::endl;
    std::cout << "mode: " << std::isprint(request[0]) << std::endl;
    return true;
}

bool Discovery::awaitDatagram(std::chrono::milliseconds limit)
{
    if (stopped_)
        return false;
    Utils::MainLoopWait wait;
    waiting_ = &wait;
    sigc::connection watch = Glib::signal_io().connect(
        [&wait](Glib::IOCondition) {
            wait.finish();
            return false;
        },
        recv_socket_.get(), Glib::IO_IN | Glib::IO_ERR | Glib::IO_HUP);
    const bool ready = wait.run(limit);
    watch.disconnect();
    waiting_ = nullptr;
    return ready && !stopped_;
}

void Discovery::StopWaiting()
{
    stopped_ = true;
    if (waiting_ != nullptr)
        waiting_->finish();
}

bool Discovery::nextReply(DiscoveryReply& reply, std::chrono::milliseconds silence)
{
    if (!recv_socket_.valid()) {
        std::cout << "socket creation failed: " << std::strerror(errno) << std::endl;
        return false;
    }

    const ListeningClock clock;
    // A datagram of the wrong size is skipped: a stray packet must not hide the cameras behind it.
    for (;;) {
        const auto left = kScanListeningLimit - clock.listened();
        if (left <= std::chrono::steady_clock::duration::zero() || scanBudget.datagrams >= kScanDatagramLimit) {
            std::cout << "discovery listening limit reached" << std::endl;
            return false;
        }
        // Rounded up, so that a last wait of less than a millisecond still waits.
        const auto wait = std::min(silence, std::chrono::ceil<std::chrono::milliseconds>(left));

        uint8_t buffer[kReceiveBufferSize] = {};
        const bool ready = awaitDatagram(wait);
        if (stopped_)
            return false;
        if (!ready && wait < silence)
            continue;  // the scan's budget, not silence, ended this wait

        // Without a waiting datagram this read fails at once and the scan ends.
        unsigned int arrivedOn = 0;
        const ssize_t count = receiveDatagram(recv_socket_.get(), buffer, sizeof buffer - 1, arrivedOn);
        std::printf("recv size=%d\n", static_cast<int>(count));
        std::fflush(stdout);
        if (count >= 0)
            ++scanBudget.datagrams;

        // Any host of the site network could send a well-formed reply naming itself; the scan
        // would then send it the factory login.
        if (count >= 0 && (arrivedOn == 0 || arrivedOn != cameraInterfaceIndex)) {
            std::cout << "reply not from the camera network: " << interfaceName(arrivedOn) << std::endl;
            continue;
        }

        if (count < 0 || !decodeDiscoveryReply(buffer, static_cast<std::size_t>(count), reply)) {
            std::printf("recv size error\n");
            std::fflush(stdout);
            if (count < 0)
                return false;
            continue;
        }
        std::cout << std::string(52, '-') << std::endl;
        return true;
    }
}

bool Discovery::ReceiveDiscoveryMessage(std::string& model, std::string& status, std::string& mode,
                                        std::string& ip, std::string& mac, std::string& firmware)
{
    DiscoveryReply reply;
    if (!nextReply(reply, kReplyWait))
        return false;
    mode = reply.mode;
    model = reply.model;
    status = "Not Connected";
    ip = reply.ip;
    mac = reply.mac;
    firmware = "Unknown";
    return true;
}

ReplyAddresses Discovery::CollectReplies(const std::set<std::string>& expected, std::chrono::milliseconds limit)
{
    ReplyAddresses seen;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (std::all_of(expected.begin(), expected.end(), [&seen](const std::string& mac) { return seen.count(mac) != 0; }))
            return seen;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left <= std::chrono::milliseconds::zero())
            return seen;
        DiscoveryReply reply;
        if (!nextReply(reply, left))
            return seen;
        seen[reply.mac] = reply.ip;
    }
}

void Discovery::CloseSocket()
{
    send_socket_.reset();
    recv_socket_.reset();
}
