#include "discovery/discovery.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <chrono>
#include <cstring>
#include <iostream>

#include "discovery/discovery_reply.h"

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

struct ScanBudget {
    std::chrono::steady_clock::duration listened{};
    unsigned datagrams = 0;
};
// The budget of the scan in progress, like the sockets; the broadcast starts a fresh one.
ScanBudget scanBudget;

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

bool enable(int fd, int option)
{
    const int on = 1;
    return setsockopt(fd, SOL_SOCKET, option, &on, sizeof on) == 0;
}

}  // namespace

bool Discovery::OpenSocket(const char* /*address*/)
{
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

    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(kReplyPort);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(recv_socket_.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return false;
    return true;
}

void Discovery::SendBroadcastPacket(const char* address)
{
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(kRequestPort);
    destination.sin_addr.s_addr = inet_addr(address);
    scanBudget = ScanBudget{};

    std::cout << "Sending Broadcast Packet on " << address << std::endl;
    if (OpenSocket(address))
        std::cout << "open socket success" << std::endl;
    else
        std::cout << "open socket error: " << std::endl;

    uint8_t request[kDiscoveryMessageSize] = {};
    request[0] = kRequestCode;
    std::memcpy(request + kIdentifierOffset, kIdentifier, sizeof kIdentifier);

    const ssize_t sent = sendto(send_socket_.get(), request, sizeof request, 0,
                                reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
    if (sent != static_cast<ssize_t>(sizeof request)) {
        std::cout << "sendto 1 fail" << std::endl;
        return;
    }
    std::cout << "id: " << kIdentifier << std::endl;
    std::cout << "mode: " << std::isprint(request[0]) << std::endl;
}

bool Discovery::ReceiveDiscoveryMessage(std::string& model, std::string& status, std::string& mode,
                                        std::string& ip, std::string& mac, std::string& firmware)
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
        const auto wait = std::min(kReplyWait, std::chrono::ceil<std::chrono::milliseconds>(left));

        uint8_t buffer[kReceiveBufferSize] = {};
        pollfd waiting{recv_socket_.get(), POLLIN, 0};
        const int ready = poll(&waiting, 1, static_cast<int>(wait.count()));
        if (ready == -1) {
            if (errno == EINTR)
                continue;  // the budget still bounds the scan
            std::cout << "n == " << ready << std::endl;
            return false;
        }
        if (ready == 0 && wait < kReplyWait)
            continue;  // the scan's budget, not silence, ended this wait

        // Without a waiting datagram this read fails at once and the scan ends.
        const ssize_t count = recvfrom(recv_socket_.get(), buffer, sizeof buffer - 1, MSG_DONTWAIT,
                                       nullptr, nullptr);
        std::printf("recv size=%d\n", static_cast<int>(count));
        std::fflush(stdout);
        if (count >= 0)
            ++scanBudget.datagrams;

        DiscoveryReply reply;
        if (count < 0 || !decodeDiscoveryReply(buffer, static_cast<std::size_t>(count), reply)) {
            std::printf("recv size error\n");
            std::fflush(stdout);
            if (count < 0)
                return false;
            continue;
        }

        mode = reply.mode;
        model = reply.model;
        status = "Not Connected";
        ip = reply.ip;
        mac = reply.mac;
        firmware = "Unknown";
        std::cout << std::string(52, '-') << std::endl;
        return true;
    }
}

void Discovery::CloseSocket()
{
    send_socket_.reset();
    recv_socket_.reset();
}
