#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include <glibmm/main.h>

#include "support/stdout_capture.h"
#include "utils/main_loop_wait.h"
#include "utils/spawned_command.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(AwaitTracedCommand, TracesAsTheBlockingRunnerDid)
{
    struct Case {
        const char* command;
        int status;
        std::string trace;
    };
    const Case cases[] = {
        {"echo done", 0, "step: [0] done\n\n"},
        {"printf partial; exit 3", 3, "step: [3] partial\n"},
        {"no-such-program-velnor 2>/dev/null", 127, "step: [127] \n"},
        // A command a signal ended is a failure: 128 plus the signal, as a shell reports it.
        {"printf half; kill -KILL $$", 137, "step: [137] half\n"},
        {"kill -TERM $$", 143, "step: [143] \n"},
        // Its output outlives it: a child still writing after the shell has gone is read to the end.
        {"(sleep 0.2; printf late) &", 0, "step: [0] late\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        StdoutCapture capture;
        EXPECT_EQ(Utils::awaitTracedCommand(c.command, "step: ["), c.status);
        EXPECT_EQ(capture.finish(false), c.trace);
    }
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
