#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <utility>

#include "support/stdout_capture.h"
#include "discovery/poe.h"

namespace {

int openDescriptors()
{
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr)
            ++count;
        closedir(dir);
    }
    return count;
}

}  // namespace

// Runs only where there is no switch: these tests must never power real ports.
class PoeWithoutDevice : public testing::Test {
protected:
    void SetUp() override
    {
        if (access("/dev/poe", F_OK) == 0)
            GTEST_SKIP() << "this machine has a PoE switch";
    }
};

// Without the device no port request is made: the failure is traced once, with the reason.
TEST_F(PoeWithoutDevice, TracesTheFailureOnceAndAsksNothing)
{
    for (int state : {0, 1}) {
        StdoutCapture capture;
        const int before = openDescriptors();
        throttle_switchports(state);
        const int after = openDescriptors();
        EXPECT_EQ(capture.finish(), "fd: -1\ncannot open /dev/poe: No such file or directory\n") << state;
        EXPECT_EQ(after, before);
    }
}

TEST_F(PoeWithoutDevice, StateAboveOneDoesNothing)
{
    StdoutCapture capture;
    throttle_switchports(2);
    EXPECT_EQ(capture.finish(), "");
}

// One port outside the switch, or a state above one, opens nothing and asks nothing.
TEST_F(PoeWithoutDevice, OnePortOutsideTheSwitchOrAStateAboveOneDoesNothing)
{
    for (const auto& [port, state] : {std::pair{-1, 0}, std::pair{16, 0}, std::pair{3, 2}}) {
        StdoutCapture capture;
        switch_port(port, state);
        EXPECT_EQ(capture.finish(), "") << port << " " << state;
    }
    StdoutCapture capture;
    switch_port(3, 0);
    EXPECT_EQ(capture.finish(), "fd: -1\ncannot open /dev/poe: No such file or directory\n");
}
