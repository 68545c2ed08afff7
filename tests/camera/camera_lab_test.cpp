// The transport and every camera request against the lab's simulated cameras: their real
// digest server, their request logs and their state. The tests run in any order: a test that
// changes a camera compares with what the camera has, not with what it had when the lab came up.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "camera/camera_answers.h"
#include "camera/camera_requests.h"
#include "camera/curlobject.h"
#include "camera/key_value.h"
#include "canned_http_server.h"
#include "lab_support.h"
#include "support/stdout_capture.h"

namespace {

const std::string kDefaultPassword = lab::secret("Dflt-Pass-9131");
const std::string kAdminPassword = lab::secret("Adm-Pass-4711");
const std::string kOperatorPassword = lab::secret("Op-Pass-0815");
const std::string kOkLinePassword = lab::secret("Okl-Pass-2222");
// Characters that would end or start a query field unless encoded.
const std::string kInitialPassword = lab::secret("Init Pw&x=1");
const std::string kNewAdminPassword = lab::secret("New-Adm&Pw=2");
const std::string kNewOperatorPassword = lab::secret("New Op#3");
const std::string kNewOkLinePassword = lab::secret("Okl-New-4444");
const std::string kViewerPassword = lab::secret("View-Pass-5150");

constexpr const char* kOperator = "op&Index=0";
// Joined to its password by ":", this ID would log in as "cam" with the password "view:...".
constexpr const char* kViewer = "cam:view";
// On the camera network, but no device has it: nothing answers the address lookup.
constexpr const char* kNobody = "192.168.1.250";

constexpr const char* kStatusCheck = "/init-cgi/pw_init.cgi?msubmenu=statuscheck&action=view";
constexpr const char* kDeviceInfo = "/kvt-cgi/system.cgi?msubmenu=deviceinfo&action=view";

std::size_t logSize(const char* camera)
{
    return lab::fileText(lab::cameraFile(camera, "requests.log")).size();
}

// The camera logs a request line with the value of a final "Password=" and all after it masked.
std::string line(const std::string& target, int status, const std::string& user)
{
    const std::string masked = "Password=********";
    const bool passwordLast = target.size() >= masked.size() &&
                              target.compare(target.size() - masked.size(), masked.size(), masked) == 0;
    return "GET " + target + (passwordLast ? "" : " HTTP/1.1") + "\t" + std::to_string(status) + "\t" + user;
}

// The digest exchange of one authorised request as the camera logs it.
std::vector<std::string> digestLines(const std::string& target, int status, const std::string& user)
{
    return {line(target, 401, "-"), line(target, status, user)};
}

int64_t deviceInfoCode(const std::string& address, const std::string& user, const std::string& password)
{
    return getCorvexData(kDeviceInfoView, address, user, password).code;
}

}  // namespace

TEST(LabTransport, DigestRightCredentialsGive200EmptyOnes401)
{
    const std::string url = lab::address(lab::kDefault) + kDeviceInfo;
    const std::size_t since = logSize(lab::kDefault);

    auto right = std::make_unique<CurlObject>(url, "admin", kDefaultPassword);
    ASSERT_TRUE(right->Get());
    EXPECT_EQ(right->GetResponseCode(), 200);
    EXPECT_EQ(lastValueOf(right->GetResponseBody(), "FirmwareVersion"), "1.9.7");
    EXPECT_EQ(right->GetLastError(), "");
    const std::string header = right->GetResponseHeader();
    EXPECT_LT(header.find("HTTP/1.1 401"), header.find("HTTP/1.1 200")) << "challenge, then the answer";
    EXPECT_NE(header.find("WWW-Authenticate: Digest"), std::string::npos);
    right.reset();
    EXPECT_EQ(lab::requestsSince(lab::kDefault, since), digestLines(kDeviceInfo, 200, "admin"));

    for (const std::pair<std::string, std::string>& refused :
         {std::pair<std::string, std::string>{"", ""}, {"admin", "not-the-password"}}) {
        auto transport = std::make_unique<CurlObject>(url, refused.first, refused.second);
        EXPECT_TRUE(transport->Get()) << "a refusal is a completed transfer";
        EXPECT_EQ(transport->GetResponseCode(), 401);
        EXPECT_EQ(transport->GetLastError(), "");
    }
}

TEST(LabTransport, UserIdHoldingAColonLogsInAsItself)
{
    const std::string camera = lab::address(lab::kUsers);
    const std::size_t since = logSize(lab::kUsers);

    auto transport = std::make_unique<CurlObject>(camera + kDeviceInfo, kViewer, kViewerPassword);
    ASSERT_TRUE(transport->Get());
    EXPECT_EQ(transport->GetResponseCode(), 200);
    transport.reset();
    EXPECT_EQ(getCorvexDNS(camera, kViewer, kViewerPassword).code, 200);
    EXPECT_EQ(getCorvexDNS(camera, kViewer, "not-the-password").code, 401);

    const char* const dnsView = "/kvt-cgi/network.cgi?msubmenu=dns&action=view";
    std::vector<std::string> expected = digestLines(kDeviceInfo, 200, kViewer);
    for (const std::string& entry : digestLines(dnsView, 200, kViewer))
        expected.push_back(entry);
    for (const std::string& entry : digestLines(dnsView, 401, "-"))
        expected.push_back(entry);
    EXPECT_EQ(lab::requestsSince(lab::kUsers, since), expected);
}

TEST(LabTransport, UnreachableCameraFailsWithErrorTextAndCodeZero)
{
    auto transport = std::make_unique<CurlObject>(std::string(kNobody) + kDeviceInfo, "admin", kDefaultPassword);
    EXPECT_FALSE(transport->Get());
    EXPECT_EQ(transport->GetResponseCode(), 0);
    EXPECT_FALSE(transport->GetLastError().empty());
    EXPECT_EQ(getStatus(kNobody), "Not Connected");
}

TEST(LabTransport, AnswerPastOneMebibyteStopsTheTransfer)
{
    const std::string url = lab::address(lab::kHuge) + kStatusCheck;
    StdoutCapture capture;
    auto transport = std::make_unique<CurlObject>(url, "", "");
    const bool completed = transport->Get();
    const std::string trace = capture.finish();

    EXPECT_FALSE(completed);
    const std::string error = "answer larger than 1048576 bytes, transfer stopped";
    EXPECT_EQ(transport->GetLastError(), error);
    EXPECT_NE(trace.find(error + "\n"), std::string::npos);
    EXPECT_LE(transport->GetResponseBody().size() + transport->GetResponseHeader().size(),
              CurlObject::kMaxAnswerBytes);
    EXPECT_EQ(transport->GetResponseCode(), 200) << "the status had arrived before the stop";
    // The camera's 16 MiB answer must not count as an answer at all.
    EXPECT_EQ(getStatus(lab::address(lab::kHuge)), "Not Connected");
}

TEST(LabTransport, BodyInManyChunksArrivesWhole)
{
    auto transport = std::make_unique<CurlObject>(lab::address(lab::kChunky) + kStatusCheck, "", "");
    ASSERT_TRUE(transport->Get());
    const std::string body = transport->GetResponseBody();
    const std::string start = "Initialized=False\n";
    ASSERT_EQ(body.size(), 300000u);
    EXPECT_EQ(body.compare(0, start.size(), start), 0);
    EXPECT_EQ(body.find_first_not_of('#', start.size()), std::string::npos);
    EXPECT_EQ(getStatus(lab::address(lab::kChunky)), "Need Password") << "the mark on one of many lines";
}

TEST(LabRequests, FactoryNewCameraTakesItsFirstPassword)
{
    const std::string camera = lab::address(lab::kFresh);
    const std::size_t since = logSize(lab::kFresh);

    EXPECT_EQ(getStatus(camera), "Need Password");
    const corvexPacket set = postCorvexSetPassword(camera, kInitialPassword);
    EXPECT_EQ(set.code, 200);
    EXPECT_EQ(set.body, "OK");
    EXPECT_EQ(lab::state(lab::kFresh, "s[\"initialized\"]"), "True");
    EXPECT_EQ(getStatus(camera), "Not Connected");
    // The whole password arrived, "&" and "=" included: it opens the camera.
    EXPECT_EQ(deviceInfoCode(camera, "admin", kInitialPassword), 200);

    const std::vector<std::string> expected = {
        line(kStatusCheck, 200, "-"),
        line("/init-cgi/pw_init.cgi?msubmenu=setinitpassword&action=set&Password=********", 200, "-"),
        line(kStatusCheck, 200, "-"),
        line(kDeviceInfo, 401, "-"),
        line(kDeviceInfo, 200, "admin"),
    };
    EXPECT_EQ(lab::requestsSince(lab::kFresh, since), expected);
}

TEST(LabRequests, ViewsReadTheCameraSettings)
{
    const std::string camera = lab::address(lab::kDefault);
    const std::size_t since = logSize(lab::kDefault);

    const corvexPacket info = getCorvexData(kDeviceInfoView, camera, "admin", kDefaultPassword);
    EXPECT_TRUE(isAuthorized(info.code));
    EXPECT_EQ(lastValueOf(info.body, "FirmwareVersion"), "1.9.7");
    EXPECT_EQ(lastValueOf(info.body, "Model"), "LAB-PTZ-8000");

    // Another test may have changed the address mode or the DNS server before this one.
    const corvexPacket interface = getCorvexData(kInterfaceView, camera, "admin", kDefaultPassword);
    EXPECT_TRUE(isAuthorized(interface.code));
    EXPECT_EQ(lastValueOf(interface.body, "IPv4Type"), lab::state(lab::kDefault, "s[\"mode\"]"));
    EXPECT_EQ(lastValueOf(interface.body, "IPv4Address"), camera);
    EXPECT_EQ(lastValueOf(interface.body, "IPv4SubnetMask"), "255.255.255.0");
    EXPECT_EQ(lastValueOf(interface.body, "IPv4Gateway"),
              lab::state(lab::kDefault, "s[\"live\"][\"gateway\"] or \"\""));

    const corvexPacket dns = getCorvexDNS(camera, "admin", kDefaultPassword);
    EXPECT_TRUE(isAuthorized(dns.code));
    EXPECT_EQ(lastValueOf(dns.body, "PrimaryDNS"), lab::state(lab::kDefault, "s[\"dns\"][\"primary\"]"));

    std::vector<std::string> expected;
    for (const char* target : {kDeviceInfo, "/kvt-cgi/network.cgi?msubmenu=interface&action=view",
                               "/kvt-cgi/network.cgi?msubmenu=dns&action=view"})
        for (const std::string& entry : digestLines(target, 200, "admin"))
            expected.push_back(entry);
    EXPECT_EQ(lab::requestsSince(lab::kDefault, since), expected);

    EXPECT_EQ(getCorvexDNS(camera, "admin", "wrong").code, 401);
}

TEST(LabRequests, SetDnsChangesTheCamera)
{
    const std::string camera = lab::address(lab::kDefault);
    const std::size_t since = logSize(lab::kDefault);

    const corvexPacket set = setCorvexDNS(camera, "admin", kDefaultPassword, "192.168.1.53");
    EXPECT_TRUE(isAuthorized(set.code));
    EXPECT_EQ(lab::state(lab::kDefault, "s[\"dns\"][\"primary\"]"), "192.168.1.53");
    EXPECT_EQ(lastValueOf(getCorvexDNS(camera, "admin", kDefaultPassword).body, "PrimaryDNS"), "192.168.1.53");
    EXPECT_EQ(lab::requestsSince(lab::kDefault, since).at(1),
              line("/kvt-cgi/network.cgi?msubmenu=dns&action=set&PrimaryDNS=192.168.1.53", 200, "admin"));
}

TEST(LabRequests, AddressModeStaticThenDhcp)
{
    const std::string before = lab::address(lab::kDefault);
    const std::size_t since = logSize(lab::kDefault);

    const corvexPacket manual = postCorvexSetStatic(before, "admin", kDefaultPassword, "192.168.1.65",
                                                    "192.168.1.1", "255.255.255.0");
    EXPECT_TRUE(isAuthorized(manual.code));
    EXPECT_EQ(lab::requestsSince(lab::kDefault, since).at(1),
              line("/kvt-cgi/network.cgi?msubmenu=interface&action=set&IPv4Type=Manual"
                   "&IPv4Address=192.168.1.65&IPv4PrefixLength=24&IPv4Gateway=192.168.1.1",
                   200, "admin"));
    EXPECT_EQ(lab::state(lab::kDefault, "(s[\"mode\"], s[\"static\"][\"address\"], s[\"static\"][\"prefix\"],"
                                        " s[\"static\"][\"gateway\"])"),
              "('Manual', '192.168.1.65', 24, '192.168.1.1')");
    ASSERT_TRUE(lab::waitUntil([] { return lab::address(lab::kDefault) == "192.168.1.65"; }));

    const corvexPacket dhcp = postCorvexSetDhcp("192.168.1.65", "admin", kDefaultPassword);
    EXPECT_TRUE(isAuthorized(dhcp.code));
    EXPECT_EQ(lab::state(lab::kDefault, "s[\"mode\"]"), "DHCP");
    ASSERT_TRUE(lab::waitUntil([] {
        const std::string now = lab::address(lab::kDefault);
        return !now.empty() && now != "192.168.1.65";
    }));
    const corvexPacket view =
        getCorvexData(kInterfaceView, lab::address(lab::kDefault), "admin", kDefaultPassword);
    EXPECT_EQ(lastValueOf(view.body, "IPv4Type"), "DHCP");
}

TEST(LabRequests, PasswordChangeAddressesTheAccountByIndex)
{
    const std::string camera = lab::address(lab::kUsers);
    std::size_t since = logSize(lab::kUsers);

    const corvexPacket admin = postCorvexChangePassword(camera, "admin", kAdminPassword, kNewAdminPassword);
    EXPECT_TRUE(isAuthorized(admin.code));
    EXPECT_EQ(admin.body, "OK");
    EXPECT_EQ(lab::requestsSince(lab::kUsers, since),
              digestLines("/kvt-cgi/security.cgi?msubmenu=users&action=update&Index=0&UserID=admin"
                          "&Password=********",
                          200, "admin"));
    EXPECT_EQ(deviceInfoCode(camera, "admin", kAdminPassword), 401);
    EXPECT_EQ(deviceInfoCode(camera, "admin", kNewAdminPassword), 200);

    // The ID is encoded: unencoded, its "&Index=0" would name another field.
    since = logSize(lab::kUsers);
    const corvexPacket op = postCorvexChangePassword(camera, kOperator, kOperatorPassword, kNewOperatorPassword);
    EXPECT_TRUE(isAuthorized(op.code));
    EXPECT_EQ(op.body, "OK");
    EXPECT_EQ(lab::requestsSince(lab::kUsers, since),
              digestLines("/kvt-cgi/security.cgi?msubmenu=users&action=update&Index=1"
                          "&UserID=op%26Index%3D0&Password=********",
                          200, kOperator));
    EXPECT_EQ(deviceInfoCode(camera, kOperator, kNewOperatorPassword), 200);
    EXPECT_EQ(deviceInfoCode(camera, "admin", kNewAdminPassword), 200) << "the other account is untouched";
}

TEST(LabRequests, OkWithLineEndIsNotOk)
{
    const corvexPacket answer = postCorvexChangePassword(lab::address(lab::kOkLine), "admin", kOkLinePassword,
                                                         kNewOkLinePassword);
    EXPECT_EQ(answer.code, 200);
    EXPECT_EQ(answer.body, "OK\n");
    EXPECT_NE(answer.body, "OK");
}

namespace {

const std::string kListenerAnswer = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nOK";

// The proxy variables of the environment for the guard's life.
class ProxyEnvironment {
public:
    explicit ProxyEnvironment(const std::string& proxy)
    {
        for (const char* variable : kVariables)
            setenv(variable, proxy.c_str(), 1);
    }
    ~ProxyEnvironment()
    {
        for (const char* variable : kVariables)
            unsetenv(variable);
    }
    ProxyEnvironment(const ProxyEnvironment&) = delete;
    ProxyEnvironment& operator=(const ProxyEnvironment&) = delete;

private:
    static constexpr const char* kVariables[] = {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                                                 "ALL_PROXY", "all_proxy"};
};

}  // namespace

TEST(LabTransport, ProxyOfTheEnvironmentIsNeverUsed)
{
    // A listener on every address of the recorder, named as the proxy by every variable there is.
    CannedHttpServer proxy(kListenerAnswer, 0, INADDR_ANY);
    const std::string camera = lab::address(lab::kDefault);
    const std::size_t since = logSize(lab::kDefault);
    const std::string dns = lab::state(lab::kDefault, "s[\"dns\"][\"primary\"]");
    ASSERT_FALSE(dns.empty());
    {
        ProxyEnvironment environment("http://" + proxy.address());
        EXPECT_EQ(deviceInfoCode(camera, "admin", kDefaultPassword), 200);
        EXPECT_EQ(setCorvexDNS(camera, "admin", kDefaultPassword, dns).code, 200);
    }
    EXPECT_EQ(proxy.connections(), 0u);
    std::vector<std::string> expected = digestLines(kDeviceInfo, 200, "admin");
    for (const std::string& entry :
         digestLines("/kvt-cgi/network.cgi?msubmenu=dns&action=set&PrimaryDNS=" + dns, 200, "admin"))
        expected.push_back(entry);
    EXPECT_EQ(lab::requestsSince(lab::kDefault, since), expected) << "the camera itself was asked";
}

// Where the camera's redirects lead: a port on the recorder's own camera-network address.
constexpr unsigned short kRedirectPort = 8081;
constexpr const char* kRedirectTarget = "192.168.1.1:8081";

TEST(LabRequests, RedirectOffTheCameraFailsThePasswordChange)
{
    CannedHttpServer elsewhere(kListenerAnswer, kRedirectPort, INADDR_ANY);
    ASSERT_TRUE(lab::setCamera(lab::kDefault, std::string("faults=redirect-away redirect_to=") + kRedirectTarget));
    const std::string camera = lab::address(lab::kDefault);
    const std::string accounts = lab::state(lab::kDefault, "s[\"accounts\"]");
    const std::size_t since = logSize(lab::kDefault);

    StdoutCapture capture;
    const corvexPacket answer = postCorvexChangePassword(camera, "admin", kDefaultPassword,
                                                         lab::secret("Redirected-Pw-6"));
    const std::string trace = capture.finish();
    EXPECT_TRUE(lab::setCamera(lab::kDefault, "faults="));

    EXPECT_FALSE(passwordChangeAccepted(answer));
    EXPECT_EQ(answer.code, 0);
    EXPECT_EQ(elsewhere.connections(), 0u) << "nothing reached the redirect's target";
    const std::string target = "/kvt-cgi/security.cgi?msubmenu=users&action=update&Index=0&UserID=admin"
                               "&Password=********";
    EXPECT_EQ(lab::requestsSince(lab::kDefault, since), digestLines(target, 302, "admin"));
    EXPECT_NE(trace.find(std::string("redirect off the camera, not followed: http://") + kRedirectTarget +
                         "/kvt-cgi/security.cgi\n"),
              std::string::npos)
        << trace;
    EXPECT_EQ(lab::state(lab::kDefault, "s[\"accounts\"]"), accounts);
}

// The library quotes a host it cannot resolve; here that host is a password. The run's output is
// searched for it in every encoding when the run ends.
TEST(LabTransport, ErrorTextHoldingThePasswordIsMasked)
{
    const std::string password = lab::secret("Unresolvable-Pw-5");
    // A network of the test's own without a route, so the look-up fails at once.
    PrivateLoopback loopback;
    ASSERT_TRUE(loopback.ready());
    auto transport = std::make_unique<CurlObject>(password + kDeviceInfo, "admin", password);
    EXPECT_FALSE(transport->Get());
    EXPECT_EQ(transport->GetLastError(), "Could not resolve host: ********");
}
