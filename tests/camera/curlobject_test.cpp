#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "camera/curlobject.h"
#include "canned_http_server.h"
#include "support/stdout_capture.h"

namespace {

// Nothing listens on port 1 of the loopback: every connection is refused at once.
constexpr const char* kRefusingHost = "127.0.0.1:1";

}  // namespace

TEST(PercentEncoding, EveryByteButTheUnreservedOnes)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"AZaz09-._~", "AZaz09-._~"},
        {"a b&c", "a%20b%26c"},
        {"=?/#%+:@;,", "%3D%3F%2F%23%25%2B%3A%40%3B%2C"},
        {"\t\n\"'", "%09%0A%22%27"},
        {"\xc3\xa9\xff", "%C3%A9%FF"},
    };
    for (const auto& [plain, encoded] : cases) {
        EXPECT_EQ(percentEncode(plain), encoded) << plain;
        StdoutCapture capture;
        CurlObject transport(kRefusingHost, "", "");
        const std::string fromTransport = transport.EncodeData(plain);
        capture.finish();
        EXPECT_EQ(fromTransport, encoded) << plain;
    }
}

TEST(CurlObjectTrace, FourArgumentFormMasksEveryPassword)
{
    StdoutCapture capture;
    auto transport = std::make_unique<CurlObject>(std::string(kRefusingHost) + "/set?Password=", "admin",
                                                  "Old&Secret1", "New Secret&2");
    const std::string trace = capture.finish();
    EXPECT_EQ(trace,
              "ENCODED PW: ********\n"
              "mUrl: 127.0.0.1:1/set?Password=********\n"
              "mAuth: admin:********\n");
    for (const char* clear : {"Old", "Secret", "New%20Secret"})
        EXPECT_EQ(trace.find(clear), std::string::npos) << clear;
}

TEST(CurlObjectTrace, EmptyDataLeavesTheUrlAndPrintsNoEncoding)
{
    StdoutCapture capture;
    CurlObject withoutData(std::string(kRefusingHost) + "/set?Password=", "", "", "");
    CurlObject threeArguments(std::string(kRefusingHost) + "/view?a=1", "admin", "secret");
    EXPECT_EQ(capture.finish(),
              "mUrl: 127.0.0.1:1/set?Password=\n"
              "mAuth: :\n"
              "127.0.0.1:1/view?a=1\n");
}

TEST(CurlObjectGet, RefusedConnectionIsAFailedTransfer)
{
    StdoutCapture capture;
    auto transport = std::make_unique<CurlObject>(std::string(kRefusingHost) + "/x", "admin", "secret");
    const bool completed = transport->Get();
    const std::string trace = capture.finish();
    EXPECT_FALSE(completed);
    EXPECT_EQ(transport->GetResponseCode(), 0);
    EXPECT_EQ(transport->GetResponseBody(), "");
    const std::string error = transport->GetLastError();
    EXPECT_FALSE(error.empty());
    EXPECT_NE(trace.find(error + "\n"), std::string::npos) << "the error is traced";
}

TEST(CurlObjectGet, OnlyWebRequestsWhateverTheAddressHolds)
{
    // A hostile discovery reply could make the address a local file or another protocol.
    for (const char* url : {"file:///etc/hostname", "dict://127.0.0.1:1/x", "ftp://127.0.0.1:1/x"}) {
        StdoutCapture capture;
        auto transport = std::make_unique<CurlObject>(url, "", "");
        const bool completed = transport->Get();
        capture.finish();
        EXPECT_FALSE(completed) << url;
        EXPECT_EQ(transport->GetResponseBody(), "") << url;
        EXPECT_FALSE(transport->GetLastError().empty()) << url;
    }
}

TEST(CurlObjectWriter, NoTargetTakesNothing)
{
    char data[] = "abc";
    std::string target = "x";
    EXPECT_EQ(CurlObject::StringWriter(data, 1, 3, nullptr), 0u);
    EXPECT_EQ(CurlObject::StringWriter(data, 1, 3, &target), 3u);
    EXPECT_EQ(target, "xabc");
}

namespace {

std::string answerOfSize(std::size_t total)
{
    std::string head = "HTTP/1.1 200 OK\r\nContent-Length: ";
    // The length field's own digits are part of the total.
    for (std::size_t digits = 1; digits < 10; ++digits) {
        const std::size_t bodySize = total - head.size() - digits - 4;
        if (std::to_string(bodySize).size() == digits)
            return head + std::to_string(bodySize) + "\r\n\r\n" + std::string(bodySize, 'b');
    }
    return head;
}

}  // namespace

// On a loopback of the test's own, whatever namespace an earlier test in this process left it in.
class CurlObjectLimit : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(loopback_.ready()) << "needs root"; }

private:
    PrivateLoopback loopback_;
};

TEST_F(CurlObjectLimit, HeadersAndBodyUpToOneMebibyteAndNotAByteMore)
{
    for (const std::size_t total : {CurlObject::kMaxAnswerBytes, CurlObject::kMaxAnswerBytes + 1}) {
        const std::string answer = answerOfSize(total);
        ASSERT_EQ(answer.size(), total);
        CannedHttpServer server(answer);
        StdoutCapture capture;
        auto transport = std::make_unique<CurlObject>(server.address() + "/x", "", "");
        const bool completed = transport->Get();
        capture.finish();
        const std::size_t kept = transport->GetResponseHeader().size() + transport->GetResponseBody().size();
        if (total <= CurlObject::kMaxAnswerBytes) {
            EXPECT_TRUE(completed) << transport->GetLastError();
            EXPECT_EQ(kept, total);
        } else {
            EXPECT_FALSE(completed);
            EXPECT_EQ(transport->GetLastError(), "answer larger than 1048576 bytes, transfer stopped");
            EXPECT_LE(kept, CurlObject::kMaxAnswerBytes);
        }
    }
}

TEST_F(CurlObjectLimit, FloodOfHeadersIsStopped)
{
    std::string answer = "HTTP/1.1 200 OK\r\n";
    while (answer.size() <= 2 * CurlObject::kMaxAnswerBytes)
        answer += "X-Padding: " + std::string(1000, 'p') + "\r\n";
    CannedHttpServer server(answer + "Content-Length: 0\r\n\r\n");
    StdoutCapture capture;
    auto transport = std::make_unique<CurlObject>(server.address() + "/x", "", "");
    const bool completed = transport->Get();
    capture.finish();
    EXPECT_FALSE(completed);
    EXPECT_FALSE(transport->GetLastError().empty());
    EXPECT_LE(transport->GetResponseHeader().size(), CurlObject::kMaxAnswerBytes);
}
