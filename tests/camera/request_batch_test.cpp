#include <gtest/gtest.h>

#include <dirent.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <glibmm/main.h>

#include "camera/request_batch.h"
#include "canned_http_server.h"
#include "support/stdout_capture.h"
#include "utils/main_loop_wait.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// Two cameras on the test's own loopback, each on the web's own port.
constexpr in_addr_t kFirstCamera = INADDR_LOOPBACK;
constexpr in_addr_t kSecondCamera = INADDR_LOOPBACK + 1;

std::string answer(const std::string& body)
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

RequestStep get(const std::string& address, int view = kDeviceInfoView)
{
    return [address, view](const std::vector<corvexPacket>&) -> std::optional<PreparedRequest> {
        return prepareCorvexData(view, address, "admin", "Secret-1");
    };
}

std::size_t openDescriptors()
{
    std::size_t count = 0;
    if (DIR* folder = opendir("/proc/self/fd")) {
        while (readdir(folder) != nullptr)
            ++count;
        closedir(folder);
    }
    return count;
}

// Runs the main loop until the condition holds or the limit passes.
bool loopUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit)
{
    Utils::MainLoopWait wait;
    sigc::connection poll = Glib::signal_timeout().connect(
        [&] {
            if (condition())
                wait.finish();
            return true;
        },
        10);
    const bool met = wait.run(limit);
    poll.disconnect();
    return met;
}

// A listener whose queue is full, so that the next handshakes to it are never completed.
class FullQueuePeer {
public:
    explicit FullQueuePeer(in_addr_t host) : listener_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(host);
        local.sin_port = htons(CannedHttpServer::kWebPort);
        if (bind(listener_.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
            listen(listener_.get(), 0) != 0)
            return;
        for (int i = 0; i < 2; ++i) {
            fillers_.emplace_back(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
            connect(fillers_.back().get(), reinterpret_cast<sockaddr*>(&local), sizeof local);
        }
        std::this_thread::sleep_for(100ms);
        ready_ = true;
    }
    bool ready() const { return ready_; }

private:
    UniqueFd listener_;
    std::vector<UniqueFd> fillers_;
    bool ready_ = false;
};

class RequestBatchTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(loopback_.ready()) << "needs root"; }

private:
    PrivateLoopback loopback_;
};

}  // namespace

TEST_F(RequestBatchTest, EachCameraKeepsItsOrderAndItsOwnTrace)
{
    CannedHttpServer first({answer("one"), answer("two")}, CannedHttpServer::kWebPort, kFirstCamera);
    // A redirect to the same camera is followed inside the batch too.
    CannedHttpServer second({"HTTP/1.1 302 Found\r\nLocation: http://{SELF}/moved\r\nContent-Length: 0\r\n"
                             "Connection: close\r\n\r\n",
                             answer("three")},
                            CannedHttpServer::kWebPort, kSecondCamera);
    std::vector<RequestSequence> sequences;
    sequences.push_back({get(first.address()), get(first.address(), kInterfaceView)});
    sequences.push_back({get(second.address())});
    // Off the camera network: nothing sent, an empty answer, and the sequence goes on.
    sequences.push_back({get("10.9.9.9"), get(first.address())});
    // A later step sees the earlier answers and may end the sequence.
    sequences.push_back({get(second.address()),
                         [](const std::vector<corvexPacket>& answers) -> std::optional<PreparedRequest> {
                             EXPECT_EQ(answers.size(), 1u);
                             return std::nullopt;
                         }});

    StdoutCapture capture;
    RequestBatch batch(std::move(sequences));
    ASSERT_TRUE(runBatch(batch, 20s));
    const std::string printed = capture.finish();
    EXPECT_EQ(printed, "") << "the traces stay with the batch";

    ASSERT_TRUE(batch.done());
    ASSERT_EQ(batch.answers(0).size(), 2u);
    EXPECT_EQ(batch.answers(0)[0].body, "one");
    EXPECT_EQ(batch.answers(0)[1].body, "two");
    ASSERT_EQ(batch.answers(1).size(), 1u);
    EXPECT_EQ(batch.answers(1)[0].body, "three");
    EXPECT_EQ(batch.answers(1)[0].code, 200);
    ASSERT_EQ(batch.answers(2).size(), 2u);
    EXPECT_EQ(batch.answers(2)[0].code, 0);
    EXPECT_EQ(batch.answers(3).size(), 1u);

    const std::string trace0 = batch.takeTrace(0);
    EXPECT_LT(trace0.find("deviceinfo"), trace0.find("readbuf: one"));
    EXPECT_LT(trace0.find("readbuf: one"), trace0.find("interface"));
    EXPECT_LT(trace0.find("interface"), trace0.find("readbuf: two"));
    EXPECT_EQ(trace0.find("three"), std::string::npos) << "no other camera's lines";
    EXPECT_NE(batch.takeTrace(1).find("redirect to "), std::string::npos);
    const std::string trace2 = batch.takeTrace(2);
    EXPECT_NE(trace2.find("not on the camera network, nothing sent: 10.9.9.9"), std::string::npos);
    EXPECT_EQ(batch.takeTrace(2), "") << "taken once";
    EXPECT_EQ(trace0.find("Secret-1"), std::string::npos);
}

// A peer whose connection is never taken (its queue is full) costs the connect time-out: side by
// side, four of them cost that once, not four times.
TEST_F(RequestBatchTest, PeersThatNeverAnswerCostOneTimeOutNotOnePerPeer)
{
    const FullQueuePeer full(kFirstCamera);
    ASSERT_TRUE(full.ready());
    const std::string address = "127.0.0.1";

    constexpr std::size_t kPeers = 4;
    std::vector<RequestSequence> sequences(kPeers, RequestSequence{get(address)});
    StdoutCapture capture;
    RequestBatch batch(std::move(sequences));
    const auto started = Clock::now();
    ASSERT_TRUE(runBatch(batch, 60s));
    const auto took = Clock::now() - started;
    const std::string trace = batch.takeTrace(0);
    capture.finish();
    for (std::size_t i = 0; i < kPeers; ++i)
        EXPECT_EQ(batch.answers(i)[0].code, 0) << i;
    EXPECT_NE(trace.find("imeout"), std::string::npos) << trace;
    // One connect time-out is 10 s; one per peer would be 40 s.
    EXPECT_LT(took, 19s);
}

// A camera that gives no HTTP answer is asked nothing more in its sequence, so one that never
// answers costs one time-out; an HTTP error status is an answer, and the next step runs on it.
TEST_F(RequestBatchTest, NoAnswerEndsTheSequenceAnHttpErrorDoesNot)
{
    CannedHttpServer closing(std::string(), CannedHttpServer::kWebPort, kFirstCamera);
    CannedHttpServer refusing401("HTTP/1.1 401 Unauthorized\r\nContent-Length: 0\r\nConnection: close\r\n\r\n",
                                 CannedHttpServer::kWebPort, kSecondCamera);
    CannedHttpServer failing500({"HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n"
                                 "Connection: close\r\n\r\n",
                                 answer("after")},
                                CannedHttpServer::kWebPort, INADDR_LOOPBACK + 3);
    const FullQueuePeer hanging(INADDR_LOOPBACK + 4);
    ASSERT_TRUE(hanging.ready());

    struct Case {
        const char* peer;
        std::string address;
        std::size_t answers;
        int64_t firstCode;
        bool unanswered;
    };
    const std::vector<Case> cases = {
        {"closes without a word", closing.address(), 1, 0, true},
        {"refuses the connection", "127.0.0.9", 1, 0, true},  // nothing listens there
        {"never takes the connection", "127.0.0.5", 1, 0, true},
        {"answers 401", refusing401.address(), 2, 401, false},
        {"answers 500", failing500.address(), 2, 500, false},
    };
    std::vector<RequestSequence> sequences;
    std::vector<int> secondSteps(cases.size(), 0);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string address = cases[i].address;
        int& secondStep = secondSteps[i];
        sequences.push_back({get(address), [address, &secondStep](const std::vector<corvexPacket>& answers)
                                               -> std::optional<PreparedRequest> {
                                 ++secondStep;
                                 EXPECT_EQ(answers.size(), 1u);
                                 return prepareCorvexData(kInterfaceView, address, "admin", "Secret-1");
                             }});
    }

    StdoutCapture capture;
    RequestBatch batch(std::move(sequences));
    const auto started = Clock::now();
    ASSERT_TRUE(runBatch(batch, 60s));
    const auto took = Clock::now() - started;
    capture.finish();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].peer);
        EXPECT_TRUE(batch.answered(i));
        EXPECT_EQ(batch.unanswered(i), cases[i].unanswered);
        ASSERT_EQ(batch.answers(i).size(), cases[i].answers);
        EXPECT_EQ(batch.answers(i)[0].code, cases[i].firstCode);
        EXPECT_EQ(secondSteps[i], cases[i].unanswered ? 0 : 1);
    }
    EXPECT_EQ(closing.connections(), 1u);
    EXPECT_EQ(batch.answers(4)[1].body, "after");
    // The connect time-out (10 s) once; asking the hanging peer again would take it twice.
    EXPECT_LT(took, 19s);
}

TEST_F(RequestBatchTest, CancelEndsEveryOutstandingRequestAtOnceAndLeavesNoDescriptor)
{
    SilentPeer silent(kSecondCamera);
    CannedHttpServer quick(answer("quick"), CannedHttpServer::kWebPort, kFirstCamera);
    constexpr std::size_t kSilent = 8;
    std::vector<RequestSequence> sequences;
    sequences.push_back({get(quick.address())});
    for (std::size_t i = 0; i < kSilent; ++i)
        sequences.push_back({get(silent.address()), get(silent.address())});

    StdoutCapture capture;
    // The main context opens its wake-up descriptor on first use and keeps it for the process.
    Glib::MainContext::get_default()->iteration(false);
    const std::size_t descriptorsBefore = openDescriptors();
    {
        RequestBatch batch(std::move(sequences));
        std::size_t changes = 0;
        batch.start([&changes] { ++changes; });
        // All silent peers are asked at once, not one after another.
        ASSERT_TRUE(loopUntil([&] { return silent.taken() == kSilent && batch.answered() == 1; }, 10s))
            << silent.taken() << " connections";
        EXPECT_EQ(changes, 1u);
        EXPECT_TRUE(batch.answered(0));

        const auto cancelling = Clock::now();
        batch.cancel();
        EXPECT_LT(Clock::now() - cancelling, 500ms);
        EXPECT_TRUE(batch.cancelled());
        EXPECT_EQ(batch.answered(), 1u);
        for (std::size_t i = 1; i <= kSilent; ++i) {
            EXPECT_FALSE(batch.answered(i)) << i;
            EXPECT_TRUE(batch.answers(i).empty()) << i;
        }
        // Nothing runs on after the cancel: the peers see every connection closed.
        EXPECT_TRUE(loopUntil([&] { return silent.closedByClient() == kSilent; }, 5s));
        EXPECT_EQ(silent.taken(), kSilent) << "no second request was sent";
    }
    EXPECT_EQ(openDescriptors(), descriptorsBefore) << "the batch left a descriptor open";
    capture.finish();
}

TEST(ProgressText, SaysHowManyOfHowManyCamerasAnswered)
{
    EXPECT_EQ(progressText(16, 12), "Asking 16 cameras: 12 answered");
    EXPECT_EQ(progressText(1, 0), "Asking 1 camera: 0 answered");
}
