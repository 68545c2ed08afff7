#include "utils/main_loop_wait.h"

#include <chrono>

#include <glibmm/main.h>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// A source that ends the wait after `ticks` turns of the loop, as a socket watch would.
sigc::connection finishAfterTicks(Utils::MainLoopWait& wait, int ticks, int& seen)
{
    return Glib::signal_timeout().connect(
        [&wait, ticks, &seen] {
            if (++seen < ticks)
                return true;
            wait.finish();
            return false;
        },
        1);
}

}  // namespace

TEST(MainLoopWait, OtherSourcesRunWhileItWaitsAndTheirFinishEndsIt)
{
    Utils::MainLoopWait wait;
    int seen = 0;
    finishAfterTicks(wait, 5, seen);
    const auto start = Clock::now();
    EXPECT_TRUE(wait.run(10s));
    EXPECT_EQ(seen, 5);
    EXPECT_LT(Clock::now() - start, 5s);
    EXPECT_TRUE(wait.finished());
}

TEST(MainLoopWait, TheLimitEndsAWaitNothingFinishes)
{
    Utils::MainLoopWait wait;
    const auto start = Clock::now();
    EXPECT_FALSE(wait.run(50ms));
    EXPECT_GE(Clock::now() - start, 50ms);
    EXPECT_FALSE(wait.finished());
}

TEST(MainLoopWait, FinishedBeforeRunReturnsAtOnce)
{
    Utils::MainLoopWait wait;
    wait.finish();
    EXPECT_TRUE(wait.run(10s));
}

TEST(MainLoopWait, AnInnerWaitEndsOnlyItselfAndTheOuterGoesOnToItsOwnEnd)
{
    Utils::MainLoopWait outer;
    bool innerFinished = false;
    bool outerStillWaitingAfterInner = false;
    Glib::signal_timeout().connect_once(
        [&] {
            Utils::MainLoopWait inner;
            Glib::signal_timeout().connect_once([&inner] { inner.finish(); }, 1);
            innerFinished = inner.run(10s);
            outerStillWaitingAfterInner = !outer.finished();
            outer.finish();
        },
        1);
    EXPECT_TRUE(outer.run(10s));
    EXPECT_TRUE(innerFinished);
    EXPECT_TRUE(outerStillWaitingAfterInner);
}
