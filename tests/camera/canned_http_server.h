// A one-thread HTTP server on the loopback that answers each connection with canned bytes: for
// answers no camera gives, such as a flood of headers, a body of an exact size or a redirect.
// It counts the connections it took, so a test can show that nothing reached it.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <poll.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <algorithm>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "network/camera_network.h"
#include "utils/unique_fd.h"

// The camera requests take a bare IPv4 address, so their server needs the web's own port: this
// gives the test a network namespace of its own with its loopback up, and returns the process to
// its own namespace when it ends. Meanwhile the loopback is the camera network, as if the
// recorder were 127.0.0.254/8, so 127.0.0.1 is a camera the requests may ask.
class PrivateLoopback {
public:
    PrivateLoopback() : cameraNetworkBefore_(cameraNetwork())
    {
        UniqueFd home(open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC));
        if (!home.valid() || unshare(CLONE_NEWNET) != 0)
            return;
        home_ = std::move(home);
        UniqueFd control(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        ifreq request{};
        std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
        if (!control.valid() || ioctl(control.get(), SIOCGIFFLAGS, &request) != 0)
            return;
        request.ifr_flags |= IFF_UP;
        ready_ = ioctl(control.get(), SIOCSIFFLAGS, &request) == 0;
        useCameraNetwork(CameraNetwork{"lo", "127.0.0.254", "255.0.0.0"});
    }
    ~PrivateLoopback()
    {
        useCameraNetwork(cameraNetworkBefore_);
        if (home_.valid())
            setns(home_.get(), CLONE_NEWNET);
    }
    PrivateLoopback(const PrivateLoopback&) = delete;
    PrivateLoopback& operator=(const PrivateLoopback&) = delete;

    // False without root, or when the loopback could not be brought up.
    bool ready() const { return ready_; }

private:
    const CameraNetwork cameraNetworkBefore_;
    UniqueFd home_;
    bool ready_ = false;
};

class CannedHttpServer {
public:
    static constexpr unsigned short kWebPort = 80;
    // Stands in an answer for the server's own address(), which is known only once it listens.
    static constexpr const char* kSelf = "{SELF}";

    // Port 0 takes any free port. On the loopback unless told to listen on every address (INADDR_ANY),
    // as a stranger on the camera network would.
    explicit CannedHttpServer(std::string answer, unsigned short port = 0, in_addr_t host = INADDR_LOOPBACK)
        : CannedHttpServer(std::vector<std::string>{std::move(answer)}, port, host)
    {
    }

    // The first connection gets the first answer, the next the next; the last is kept for the rest.
    explicit CannedHttpServer(std::vector<std::string> answers, unsigned short port = 0,
                              in_addr_t host = INADDR_LOOPBACK)
        : answers_(std::move(answers)), host_(host)
    {
        listener_.reset(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        const int on = 1;
        setsockopt(listener_.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(host);
        local.sin_port = htons(port);
        socklen_t size = sizeof local;
        if (bind(listener_.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
            listen(listener_.get(), 4) != 0 ||
            getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&local), &size) != 0) {
            listener_.reset();
            return;
        }
        port_ = ntohs(local.sin_port);
        worker_ = std::thread([this] { serve(); });
    }

    ~CannedHttpServer()
    {
        // Wakes the accept so the thread sees the end.
        if (listener_.valid())
            shutdown(listener_.get(), SHUT_RDWR);
        if (worker_.joinable())
            worker_.join();
    }

    CannedHttpServer(const CannedHttpServer&) = delete;
    CannedHttpServer& operator=(const CannedHttpServer&) = delete;

    // Connections taken so far; the server reads one request on each.
    std::size_t connections() const { return connections_; }

    // Host and port, as a camera address in a request URL; the bare host on the web's own port.
    std::string address() const
    {
        in_addr shown{};
        shown.s_addr = htonl(host_ == INADDR_ANY ? INADDR_LOOPBACK : host_);
        const std::string host = inet_ntoa(shown);
        return port_ == kWebPort ? host : host + ":" + std::to_string(port_);
    }

private:
    void serve()
    {
        for (;;) {
            UniqueFd client(accept(listener_.get(), nullptr, nullptr));
            if (!client.valid())
                return;
            std::string answer = answers_[std::min(connections_.load(), answers_.size() - 1)];
            ++connections_;
            // An answer can name the server itself, as a redirect to the same host and port does.
            for (auto at = answer.find(kSelf); at != std::string::npos; at = answer.find(kSelf, at))
                answer.replace(at, std::strlen(kSelf), address());
            std::string request;
            char buffer[4096];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const ssize_t count = recv(client.get(), buffer, sizeof buffer, 0);
                if (count <= 0)
                    break;
                request.append(buffer, static_cast<std::size_t>(count));
            }
            // A client that stops reading ends the write; the signal must not end the tests.
            for (std::size_t sent = 0; sent < answer.size();) {
                const ssize_t count = send(client.get(), answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
                if (count <= 0)
                    break;
                sent += static_cast<std::size_t>(count);
            }
        }
    }

    std::vector<std::string> answers_;
    std::atomic<std::size_t> connections_{0};
    in_addr_t host_;
    UniqueFd listener_;
    unsigned short port_ = 0;
    std::thread worker_;
};

// Takes connections and holds them without a word; counts those taken and those the client closed.
class SilentPeer {
public:
    explicit SilentPeer(in_addr_t host)
    {
        listener_.reset(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(host);
        local.sin_port = htons(CannedHttpServer::kWebPort);
        socklen_t size = sizeof local;
        if (bind(listener_.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
            listen(listener_.get(), 64) != 0 ||
            getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&local), &size) != 0)
            return;
        host_ = host;
        worker_ = std::thread([this] { serve(); });
    }
    ~SilentPeer()
    {
        stop_ = true;
        shutdown(listener_.get(), SHUT_RDWR);
        if (worker_.joinable())
            worker_.join();
    }
    // On the web's own port, as a camera: the requests take a bare address.
    std::string address() const
    {
        in_addr shown{};
        shown.s_addr = htonl(host_);
        return inet_ntoa(shown);
    }
    std::size_t taken() const { return taken_; }
    std::size_t closedByClient() const { return closed_; }

private:
    void serve()
    {
        constexpr std::size_t kMostHeld = 64;
        std::vector<UniqueFd> held;
        while (!stop_) {
            pollfd watched[1 + kMostHeld];
            const std::size_t polled = std::min(held.size(), kMostHeld);
            watched[0] = {listener_.get(), POLLIN, 0};
            for (std::size_t i = 0; i < polled; ++i)
                watched[i + 1] = {held[i].get(), POLLIN, 0};
            if (poll(watched, static_cast<nfds_t>(1 + polled), 50) <= 0)
                continue;
            if (watched[0].revents & POLLIN) {
                UniqueFd client(accept(listener_.get(), nullptr, nullptr));
                if (!client.valid())
                    return;
                held.push_back(std::move(client));
                ++taken_;
            }
            for (std::size_t i = 0; i < polled; ++i) {
                if (!(watched[i + 1].revents & (POLLIN | POLLHUP)) || !held[i].valid())
                    continue;
                char buffer[4096];
                if (recv(held[i].get(), buffer, sizeof buffer, 0) == 0) {
                    held[i].reset();
                    ++closed_;
                }
            }
        }
    }

    UniqueFd listener_;
    in_addr_t host_ = INADDR_LOOPBACK;
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> taken_{0};
    std::atomic<std::size_t> closed_{0};
    std::thread worker_;
};
