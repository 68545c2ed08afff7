#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include <glibmm/main.h>

#include "support/stdout_capture.h"
#include "utils/main_loop_wait.h"
#include "utils/spawned_command.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Its output outlives the shell: a child still writing after the shell has gone is read to the end.
TEST(AwaitTracedCommand, ReadsTheOutputToItsEnd)
{
    StdoutCapture capture;
    EXPECT_EQ(Utils::awaitTracedCommand("(sleep 0.2; printf late) &", "step: ["), 0);
    EXPECT_EQ(capture.finish(false), "step: [0] late\n");
}

TEST(StartTracedCommand, ReturnsAtOnceAndTracesWhenTheCommandEnds)
{
    StdoutCapture capture;
    Utils::MainLoopWait wait;
    int status = -2;
    int ticks = 0;
    // Another source of the main loop keeps running while the command does.
    sigc::connection ticking = Glib::signal_timeout().connect(
        [&ticks] {
            ++ticks;
            return true;
        },
        10);
    const auto started = Clock::now();
    Utils::startTracedCommand("sleep 0.5; echo shown", "onboard show success: [", [&](int ended) {
        status = ended;
        wait.finish();
    });
    EXPECT_LT(Clock::now() - started, 300ms);
    EXPECT_TRUE(wait.run(10s));
    ticking.disconnect();
    EXPECT_EQ(status, 0);
    EXPECT_GT(ticks, 10);
    EXPECT_EQ(capture.finish(false), "onboard show success: [0] shown\n\n");
}
