#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "camera/camera_requests.h"
#include "camera/trace_mask.h"
#include "canned_http_server.h"
#include "support/stdout_capture.h"

TEST(IsAuthorized, OnlyStatus200)
{
    for (int64_t code : {0, 100, 204, 301, 401, 403, 404, 500, -200})
        EXPECT_FALSE(isAuthorized(code)) << code;
    EXPECT_TRUE(isAuthorized(200));
}

namespace {

// Nothing listens on the private loopback: the request is composed and traced, then refused.
const Glib::ustring kCamera = "127.0.0.1";

struct UrlCase {
    const char* name;
    std::function<corvexPacket()> send;
    std::string tracedUrl;  // passwords in it are masked
};

void PrintTo(const UrlCase& c, std::ostream* os)
{
    *os << c.name;
}

}  // namespace

// Requests go to a loopback of the test's own, where a camera can have the web's own port.
class OnPrivateLoopback {
protected:
    void requireLoopback() { ASSERT_TRUE(loopback_.ready()) << "needs root"; }

private:
    PrivateLoopback loopback_;
};

class RequestUrl : public testing::TestWithParam<UrlCase>, protected OnPrivateLoopback {
protected:
    void SetUp() override { requireLoopback(); }
};
class GetStatus : public testing::Test, protected OnPrivateLoopback {
protected:
    void SetUp() override { requireLoopback(); }
};
class ChangePasswordTrace : public GetStatus {};

TEST_P(RequestUrl, ComposedAsTheCameraExpectsIt)
{
    const UrlCase& c = GetParam();
    StdoutCapture capture;
    const corvexPacket packet = c.send();
    const std::string trace = capture.finish();
    EXPECT_NE(trace.find(c.tracedUrl + "\n"), std::string::npos) << trace;
    EXPECT_EQ(packet.body, "");
    EXPECT_EQ(packet.code, 0);
    for (const char* clear : {"Current1", "Fresh&Pw"})
        EXPECT_EQ(trace.find(clear), std::string::npos) << clear;
}

INSTANTIATE_TEST_SUITE_P(
    Requests, RequestUrl,
    testing::Values(
        UrlCase{"DeviceInfo", [] { return getCorvexData(0, kCamera, "admin", "Current1"); },
                "127.0.0.1/kvt-cgi/system.cgi?msubmenu=deviceinfo&action=view"},
        UrlCase{"InterfaceView", [] { return getCorvexData(1, kCamera, "admin", "Current1"); },
                "127.0.0.1/kvt-cgi/network.cgi?msubmenu=interface&action=view"},
        UrlCase{"DnsView", [] { return getCorvexDNS(kCamera, "admin", "Current1"); },
                "127.0.0.1/kvt-cgi/network.cgi?msubmenu=dns&action=view"},
        UrlCase{"DnsSet", [] { return setCorvexDNS(kCamera, "admin", "Current1", "8.8.8.8"); },
                "127.0.0.1/kvt-cgi/network.cgi?msubmenu=dns&action=set&PrimaryDNS=8.8.8.8"},
        UrlCase{"SetDhcp", [] { return postCorvexSetDhcp(kCamera, "admin", "Current1"); },
                "127.0.0.1/kvt-cgi/network.cgi?msubmenu=interface&action=set&IPv4Type=DHCP"},
        UrlCase{"SetStaticPrefix24",
                [] { return postCorvexSetStatic(kCamera, "admin", "Current1", "192.168.1.50", "192.168.1.1",
                                                "255.255.255.0"); },
                "127.0.0.1/kvt-cgi/network.cgi?msubmenu=interface&action=set&IPv4Type=Manual"
                "&IPv4Address=192.168.1.50&IPv4PrefixLength=24&IPv4Gateway=192.168.1.1"},
        UrlCase{"SetStaticPrefix16",
                [] { return postCorvexSetStatic(kCamera, "admin", "Current1", "10.1.2.3", "", "255.255.0.0"); },
                "127.0.0.1/kvt-cgi/network.cgi?msubmenu=interface&action=set&IPv4Type=Manual"
                "&IPv4Address=10.1.2.3&IPv4PrefixLength=16&IPv4Gateway="},
        UrlCase{"SetStaticFieldsEncoded",
                [] { return postCorvexSetStatic(kCamera, "admin", "Current1", "192.168.1.50&x=1",
                                                "192.168.1.1&IPv4Type=DHCP", "255.255.255.0"); },
                "127.0.0.1/kvt-cgi/network.cgi?msubmenu=interface&action=set&IPv4Type=Manual"
                "&IPv4Address=192.168.1.50%26x%3D1&IPv4PrefixLength=24&IPv4Gateway=192.168.1.1%26IPv4Type%3DDHCP"},
        UrlCase{"InitialPassword", [] { return postCorvexSetPassword(kCamera, "Fresh&Pw"); },
                "mUrl: 127.0.0.1/init-cgi/pw_init.cgi?msubmenu=setinitpassword&action=set&Password=********"},
        UrlCase{"ChangeAdminIsIndex0",
                [] { return postCorvexChangePassword(kCamera, "admin", "Current1", "Fresh&Pw"); },
                "mUrl: 127.0.0.1/kvt-cgi/security.cgi?msubmenu=users&action=update"
                "&Index=0&UserID=admin&Password=********"},
        UrlCase{"ChangeOtherCaseIsIndex1",
                [] { return postCorvexChangePassword(kCamera, "Admin", "Current1", "Fresh&Pw"); },
                "mUrl: 127.0.0.1/kvt-cgi/security.cgi?msubmenu=users&action=update"
                "&Index=1&UserID=Admin&Password=********"},
        UrlCase{"ChangeUserIdEncoded",
                [] { return postCorvexChangePassword(kCamera, "op&Index=0", "Current1", "Fresh&Pw"); },
                "mUrl: 127.0.0.1/kvt-cgi/security.cgi?msubmenu=users&action=update"
                "&Index=1&UserID=op%26Index%3D0&Password=********"}),
    [](const testing::TestParamInfo<UrlCase>& info) { return info.param.name; });

// Only a dotted address may go into the DNS query unencoded: anything else is never sent.
TEST_F(GetStatus, DnsServerOtherThanADottedAddressIsNeverSent)
{
    CannedHttpServer camera("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nOK", CannedHttpServer::kWebPort);
    for (const char* dns : {"8.8.8.8&x=1", "8.8.8.8&PrimaryDNS=1.1.1.1", "dns.example", "8.8.8", "8.8.8.8 ", ""}) {
        StdoutCapture capture;
        const corvexPacket packet = setCorvexDNS(camera.address(), "admin", "Current1", dns);
        const std::string trace = capture.finish();
        EXPECT_EQ(packet.code, 0) << dns;
        EXPECT_EQ(trace, "not a DNS server address, nothing sent\n") << dns;
    }
    EXPECT_EQ(camera.connections(), 0u);
    StdoutCapture capture;
    EXPECT_EQ(setCorvexDNS(camera.address(), "admin", "Current1", "8.8.8.8").code, 200);
    capture.finish();
    EXPECT_EQ(camera.connections(), 1u);
}

TEST_F(GetStatus, NoAnswerIsNotConnected)
{
    StdoutCapture capture;
    EXPECT_EQ(getStatus(kCamera), "Not Connected");
    EXPECT_NE(capture.finish().find("127.0.0.1/init-cgi/pw_init.cgi?msubmenu=statuscheck&action=view\n"),
              std::string::npos);
}

TEST_F(ChangePasswordTrace, FailureTracesCodeAndEnd)
{
    StdoutCapture capture;
    postCorvexChangePassword(kCamera, "admin", "Current1", "Fresh&Pw");
    const std::string trace = capture.finish();
    const auto error = trace.find("change pw error: 0\n");
    ASSERT_NE(error, std::string::npos) << trace;
    EXPECT_LT(trace.find("CHANGE PW REQ------\n"), error);
    const std::string end = "\n/////////////-----END------///////// \n";
    ASSERT_GE(trace.size(), end.size());
    EXPECT_EQ(trace.substr(trace.size() - end.size()), end) << "the end mark comes last";
}

TEST_F(GetStatus, FactoryMarkOnAnyLineOfTheAnswer)
{
    const std::pair<std::string, std::string> cases[] = {
        {"Model=X\nSerial=1\nInitialized=False\nMAC=aa\n", "Need Password"},
        {"Initialized=False", "Need Password"},
        {"Model=X\nInitialized=True\n", "Not Connected"},
        {"", "Not Connected"},
    };
    for (const auto& [body, status] : cases) {
        CannedHttpServer camera("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                                "\r\n\r\n" + body,
                                CannedHttpServer::kWebPort);
        StdoutCapture capture;
        const std::string got = getStatus(camera.address());
        capture.finish();
        EXPECT_EQ(got, status) << body;
    }
}

struct MaskCase {
    const char* name;
    std::string text;
    std::vector<std::string> passwords;
    std::string masked;
};

void PrintTo(const MaskCase& c, std::ostream* os)
{
    *os << c.name;
}

class MaskPasswords : public testing::TestWithParam<MaskCase> {};

TEST(PasswordForms, EveryEncodingARequestOrAnEchoCanHold)
{
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"", {}},
        {"Lab-Pw-1", {"Lab-Pw-1"}},
        {"a b", {"a b", "a%20b", "a+b"}},
        {"x/y z", {"x%2Fy%20z", "x%2Fy+z", "x%2fy%20z", "x%2fy+z", "x/y z"}},
        {"%", {"%", "%25"}},
    };
    for (const auto& [password, forms] : cases) {
        std::vector<std::string> got = passwordForms(password);
        std::sort(got.begin(), got.end());
        std::vector<std::string> expected = forms;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(got, expected) << password;
    }
}

TEST_P(MaskPasswords, EveryFormOfEveryPasswordAndNothingElse)
{
    const MaskCase& c = GetParam();
    EXPECT_EQ(maskPasswords(c.text, c.passwords), c.masked);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, MaskPasswords,
    testing::Values(
        MaskCase{"Typed", "User=admin\nPassword=Lab-Pw-1\n", {"Lab-Pw-1"}, "User=admin\nPassword=********\n"},
        MaskCase{"Encoded", "GET /x?Password=New%20Pw%262 HTTP/1.1", {"New Pw&2"},
                 "GET /x?Password=******** HTTP/1.1"},
        MaskCase{"TypedAndEncodedEveryTime", "a&b a%26b a&ba&b", {"a&b"}, "******** ******** ****************"},
        MaskCase{"EachOfSeveral", "old=Old-1 new=New-2", {"Old-1", "New-2"}, "old=******** new=********"},
        MaskCase{"EmptyPasswordMasksNothing", "Initialized=False\n", {"", ""}, "Initialized=False\n"},
        MaskCase{"NoPasswords", "Initialized=False\n", {}, "Initialized=False\n"},
        MaskCase{"OneInsideAnotherNotByHalves", "Pw-12345 then Pw-1", {"Pw-1", "Pw-12345"},
                 "******** then ********"},
        MaskCase{"EncodedInsideAnother", "x%20y and x y", {"x y", "x%20y"}, "******** and ********"},
        MaskCase{"NoPasswordInText", "Model=LAB-IPC-2100\n", {"Lab-Pw-1"}, "Model=LAB-IPC-2100\n"},
        MaskCase{"MaskIsNotMaskedAgain", "a*b", {"*"}, "a********b"},
        MaskCase{"PasswordAtEitherEnd", "Pw9 Pw", {"Pw9"}, "******** Pw"},
        MaskCase{"LowerCaseHexAndPlusForSpace",
                 "a New+Pw%2F%3D b New%20Pw%2f%3d c New+Pw%2f%3d d New%20Pw%2F%3D", {"New Pw/="},
                 "a ******** b ******** c ******** d ********"},
        MaskCase{"PlusOnlyStandsForASpace", "a+b a%2Bb a%2bb a b", {"a+b"}, "******** ******** ******** a b"}),
    [](const testing::TestParamInfo<MaskCase>& info) { return info.param.name; });

namespace {

struct EchoCase {
    const char* name;
    std::function<corvexPacket(const std::string& camera)> send;
    std::string tracedAnswer;
};

void PrintTo(const EchoCase& c, std::ostream* os)
{
    *os << c.name;
}

// A camera that echoes passwords, as typed and encoded.
const std::string kEchoBody = "Current=Cur&1 Cur%261\nNew=New Pw New%20Pw\nModel=LAB-IPC-2100";

}  // namespace

class AnswerTrace : public testing::TestWithParam<EchoCase>, protected OnPrivateLoopback {
protected:
    void SetUp() override { requireLoopback(); }
};

TEST_P(AnswerTrace, PasswordsOfTheRequestAreMaskedInTheTracedAnswer)
{
    CannedHttpServer camera("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kEchoBody.size()) +
                            "\r\n\r\n" + kEchoBody, CannedHttpServer::kWebPort);
    StdoutCapture capture;
    const corvexPacket packet = GetParam().send(camera.address());
    const std::string trace = capture.finish();

    EXPECT_EQ(packet.code, 200);
    EXPECT_EQ(packet.body, kEchoBody) << "the answer itself stays whole";
    EXPECT_NE(trace.find("\nreadbuf: " + GetParam().tracedAnswer + "\n"), std::string::npos) << trace;
}

INSTANTIATE_TEST_SUITE_P(
    Requests, AnswerTrace,
    testing::Values(
        // Only the passwords the request carried are known to be passwords.
        EchoCase{"ViewWithCredentials",
                 [](const std::string& camera) {
                     return getCorvexData(kDeviceInfoView, camera, "admin", "Cur&1");
                 },
                 "Current=******** ********\nNew=New Pw New%20Pw\nModel=LAB-IPC-2100"},
        EchoCase{"InitialPassword", [](const std::string& camera) { return postCorvexSetPassword(camera, "New Pw"); },
                 "Current=Cur&1 Cur%261\nNew=******** ********\nModel=LAB-IPC-2100"},
        EchoCase{"ChangePassword",
                 [](const std::string& camera) {
                     return postCorvexChangePassword(camera, "admin", "Cur&1", "New Pw");
                 },
                 "Current=******** ********\nNew=******** ********\nModel=LAB-IPC-2100"}),
    [](const testing::TestParamInfo<EchoCase>& info) { return info.param.name; });
