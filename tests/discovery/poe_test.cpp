#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

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

std::string repeated(const std::string& line, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i)
        text += line;
    return text;
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

TEST_F(PoeWithoutDevice, TracesTheFailuresAndReturns)
{
    for (int state : {0, 1}) {
        StdoutCapture capture;
        const int before = openDescriptors();
        throttle_switchports(state);
        const int after = openDescriptors();
        EXPECT_EQ(capture.finish(), "fd: -1\ncmd: -1073217280\n" + repeated("ret: -1\n", 16)) << state;
        EXPECT_EQ(after, before);
    }
}

TEST_F(PoeWithoutDevice, StateAboveOneDoesNothing)
{
    StdoutCapture capture;
    throttle_switchports(2);
    EXPECT_EQ(capture.finish(), "");
}
