// A camera address that is not a dotted IPv4 address is never asked: a discovery reply's text
// such as "x@host" would otherwise send the credentials to that host.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <functional>
#include <string>

#include "camera/camera_requests.h"
#include "canned_http_server.h"
#include "support/stdout_capture.h"
#include "utils/unique_fd.h"

namespace {

// A listener that only counts whether anybody connected: on loopback and any free port, or on
// every address and the given port.
class Listener {
public:
    explicit Listener(uint16_t port = 0) : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0))
    {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(port == 0 ? INADDR_LOOPBACK : INADDR_ANY);
        local.sin_port = htons(port);
        socklen_t size = sizeof local;
        EXPECT_EQ(bind(fd_.get(), reinterpret_cast<sockaddr*>(&local), size), 0);
        EXPECT_EQ(listen(fd_.get(), 8), 0);
        getsockname(fd_.get(), reinterpret_cast<sockaddr*>(&local), &size);
        port_ = ntohs(local.sin_port);
    }

    int port() const { return port_; }
    void close() { fd_.reset(); }
    bool connected() const
    {
        UniqueFd peer(accept(fd_.get(), nullptr, nullptr));
        return peer.valid();
    }

private:
    UniqueFd fd_;
    int port_ = 0;
};

using Request = std::function<corvexPacket(const std::string&)>;
const std::pair<const char*, Request> kRequests[] = {
    {"device information", [](const std::string& a) { return getCorvexData(kDeviceInfoView, a, "admin", "p"); }},
    {"interface view", [](const std::string& a) { return getCorvexData(kInterfaceView, a, "admin", "p"); }},
    {"dns view", [](const std::string& a) { return getCorvexDNS(a, "admin", "p"); }},
    {"dns set", [](const std::string& a) { return setCorvexDNS(a, "admin", "p", "192.168.1.53"); }},
    {"first password", [](const std::string& a) { return postCorvexSetPassword(a, "p"); }},
    {"password change", [](const std::string& a) { return postCorvexChangePassword(a, "admin", "p", "q"); }},
    {"dhcp", [](const std::string& a) { return postCorvexSetDhcp(a, "admin", "p"); }},
    {"static", [](const std::string& a) {
         return postCorvexSetStatic(a, "admin", "p", "192.168.1.70", "192.168.1.1", "255.255.255.0");
     }},
};

TEST(CameraAddress, OnlyADottedIpv4AddressIsAsked)
{
    Listener listener;
    const std::string port = std::to_string(listener.port());
    const std::string addresses[] = {
        "x@127.0.0.1:" + port, "127.0.0.1:" + port, "localhost:" + port, "127.1", "", " 127.0.0.1",
    };
    StdoutCapture quiet;
    for (const std::string& address : addresses) {
        SCOPED_TRACE("address '" + address + "'");
        EXPECT_EQ(getStatus(address), "Not Connected");
        for (const auto& [name, send] : kRequests) {
            const corvexPacket answer = send(address);
            EXPECT_EQ(answer.code, 0) << name;
            EXPECT_EQ(answer.body, "") << name;
        }
        EXPECT_FALSE(listener.connected());
    }
}

// On a loopback of its own that stands for the camera network 127.0.0.0/8 (the recorder being
// 127.0.0.254), a camera listens on every address. Only a host of that network is asked: not
// the recorder's own address, the network's or its broadcast address, no address at all, nor a
// host of another network.
TEST(CameraAddress, OnlyAHostOfTheCameraNetworkIsAsked)
{
    PrivateLoopback loopback;
    ASSERT_TRUE(loopback.ready()) << "needs root";
    Listener camera(CannedHttpServer::kWebPort);
    StdoutCapture trace;
    for (const std::string address : {"127.0.0.254", "127.0.0.0", "127.255.255.255", "0.0.0.0", "10.1.1.50"}) {
        SCOPED_TRACE("address " + address);
        EXPECT_EQ(getStatus(address), "Not Connected");
        for (const auto& [name, send] : kRequests)
            EXPECT_EQ(send(address).code, 0) << name;
        EXPECT_FALSE(camera.connected());
    }
    EXPECT_NE(trace.finish().find("not on the camera network, nothing sent: 10.1.1.50\n"), std::string::npos);

    // The same port at a host address of the network is asked; an answering server there, since
    // the silent listener would hold the request for the transport's whole time-out.
    camera.close();
    CannedHttpServer answering("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n",
                               CannedHttpServer::kWebPort, INADDR_ANY);
    StdoutCapture quiet;
    getStatus("127.0.0.1");
    EXPECT_GE(answering.connections(), 1u);
}

}  // namespace
