#include "discovery/discovery.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "discovery/discovery_reply.h"

UniqueFd send_socket_;
UniqueFd recv_socket_;

namespace {

constexpr uint16_t kRequestPort = 7701;
constexpr uint16_t kReplyPort = 7711;
constexpr std::size_t kReceiveBufferSize = 1500;
constexpr time_t kReplyWaitSeconds = 4;

constexpr uint8_t kRequestCode = 6;
constexpr std::size_t kIdentifierOffset = 1;
constexpr char kIdentifier[] = "3C-2C-30-AA-66-07";  // sent with its NUL: 18 bytes
static_assert(kIdentifierOffset + sizeof kIdentifier <= kDiscoveryMessageSize, "request layout");

UniqueFd udpSocket()
{
    return UniqueFd(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
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

    // A datagram of the wrong size is skipped: a stray packet must not hide the cameras behind it.
    for (;;) {
        uint8_t buffer[kReceiveBufferSize] = {};

        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(recv_socket_.get(), &readable);
        timeval wait{kReplyWaitSeconds, 0};
        const int ready = select(recv_socket_.get() + 1, &readable, nullptr, nullptr, &wait);
        if (ready == -1) {
            std::cout << "n == " << ready << std::endl;
            return false;
        }

        // Without a waiting datagram this read fails at once and the scan ends.
        const ssize_t count = recvfrom(recv_socket_.get(), buffer, sizeof buffer - 1, MSG_DONTWAIT,
                                       nullptr, nullptr);
        std::printf("recv size=%d\n", static_cast<int>(count));
        std::fflush(stdout);

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
