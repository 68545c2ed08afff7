#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>

#include <cstdlib>
#include <string>

#include "support/stdout_capture.h"
#include "utils/spawned_command.h"
#include "utils/traced_command.h"

// The runner that blocks and the one awaited in the main loop trace alike.
TEST(RunTracedCommand, TracesPrefixStatusAndOutputWhateverTheStatus)
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
        // The service and keyboard traces show a command a signal ended as a failure.
        {"printf half; kill -KILL $$", 137, "step: [137] half\n"},
        {"kill -TERM $$", 143, "step: [143] \n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        StdoutCapture blocking;
        EXPECT_EQ(Utils::runTracedCommand(c.command, "step: ["), c.status);
        EXPECT_EQ(blocking.finish(false), c.trace);
        StdoutCapture awaited;
        EXPECT_EQ(Utils::awaitTracedCommand(c.command, "step: ["), c.status);
        EXPECT_EQ(awaited.finish(false), c.trace);
    }
}

// Runs in a child of the death test: its exit status tells what the trace said.
[[noreturn]] static void traceWithoutFreeDescriptors()
{
    StdoutCapture capture;  // takes its descriptors before the limit
    rlimit before{};
    getrlimit(RLIMIT_NOFILE, &before);
    int firstFree = 0;
    while (fcntl(firstFree, F_GETFD) != -1)
        ++firstFree;
    // Every descriptor below the limit is taken, so no pipe can be made.
    const rlimit none{static_cast<rlim_t>(firstFree), before.rlim_max};
    setrlimit(RLIMIT_NOFILE, &none);
    const int status = Utils::runTracedCommand("true", "service: [");
    setrlimit(RLIMIT_NOFILE, &before);  // reading the capture back needs a descriptor
    const bool traced = capture.text() == "service: [-1] Cannot open pipe\n";
    std::_Exit(status == -1 && traced ? 0 : 1);
}

TEST(RunTracedCommandDeathTest, AShellThatCannotStartIsTracedNotThrown)
{
    EXPECT_EXIT(traceWithoutFreeDescriptors(), testing::ExitedWithCode(0), "");
}
