#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/stdout_capture.h"
#include "discovery/discovery.h"
#include "utils/command.h"
#include "utils/unique_fd.h"

TEST(ReceiveDiscoveryMessage, WithoutReplySocketTracesAndReturnsFalse)
{
    Discovery discovery;
    discovery.CloseSocket();
    std::string model = "m", status = "s", mode = "o", ip = "i", mac = "a", firmware = "f";

    StdoutCapture capture;
    const bool received = discovery.ReceiveDiscoveryMessage(model, status, mode, ip, mac, firmware);
    const std::string trace = capture.finish();

    EXPECT_FALSE(received);
    const std::string prefix = "socket creation failed: ";
    ASSERT_EQ(trace.compare(0, prefix.size(), prefix), 0) << trace;
    EXPECT_GT(trace.size(), prefix.size() + 1) << "the system's error text follows";
    EXPECT_EQ(model + status + mode + ip + mac + firmware, "msoiaf");
}

namespace {

// Which of the descriptors a command started through the shell still holds.
std::string inheritedBy(const std::vector<int>& fds)
{
    std::string probe;
    for (int fd : fds)
        probe += "[ -e /proc/self/fd/" + std::to_string(fd) + " ] && echo " + std::to_string(fd) + "; ";
    int exitCode = 0;
    return Utils::execCommand(probe + "true", exitCode);
}

}  // namespace

// The sockets are bound in a network namespace of the test's own, never on the host's networks;
// the process returns to its own namespace afterwards, for the loopback of the tests that follow.
class DiscoverySockets : public testing::Test {
protected:
    void SetUp() override
    {
        home_.reset(open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC));
        ASSERT_TRUE(home_.valid());
        ASSERT_EQ(unshare(CLONE_NEWNET), 0) << "needs root";
    }
    void TearDown() override
    {
        Discovery().CloseSocket();
        if (home_.valid()) {
            EXPECT_EQ(setns(home_.get(), CLONE_NEWNET), 0);
        }
    }

private:
    UniqueFd home_;
};

TEST_F(DiscoverySockets, CloseOnExecSoNoCommandInheritsThem)
{
    Discovery discovery;
    ASSERT_TRUE(discovery.OpenSocket("127.0.0.1"));
    const std::vector<int> sockets = {send_socket_.get(), recv_socket_.get()};
    for (int fd : sockets)
        EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0) << fd;
    EXPECT_EQ(inheritedBy(sockets), "");

    // The probe does see a descriptor that is not close-on-exec.
    UniqueFd inheritable(dup(recv_socket_.get()));
    ASSERT_TRUE(inheritable.valid());
    EXPECT_EQ(inheritedBy({inheritable.get()}), std::to_string(inheritable.get()) + "\n");
}
