#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cctype>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "support/stdout_capture.h"
#include "utils/command.h"

using Utils::execCommand;

struct CommandCase {
    const char* name;
    std::string command;
    std::string output;
    int exitCode;
};

void PrintTo(const CommandCase& c, std::ostream* os)
{
    *os << c.name;
}

class ExecCommand : public testing::TestWithParam<CommandCase> {};

TEST_P(ExecCommand, ReturnsOutputByteForByteAndExitStatus)
{
    const CommandCase& c = GetParam();
    int exitCode = -1;
    const std::string output = execCommand(c.command, exitCode);
    EXPECT_EQ(output, c.output);
    EXPECT_EQ(exitCode, c.exitCode);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ExecCommand,
    testing::Values(
        CommandCase{"SilentStatus3", "exit 3", "", 3},
        CommandCase{"Status255", "exit 255", "", 255},
        CommandCase{"LineBreaksKept", "printf 'a\\n\\nb\\n'", "a\n\nb\n", 0},
        CommandCase{"ThousandBytesNoFinalLineEnd", "head -c 1000 /dev/zero | tr '\\0' x",
                    std::string(1000, 'x'), 0},
        CommandCase{"ExactlyOneBuffer", "head -c 256 /dev/zero | tr '\\0' y", std::string(256, 'y'), 0},
        CommandCase{"BeyondPipeBuffer", "head -c 200000 /dev/zero | tr '\\0' z; exit 4",
                    std::string(200000, 'z'), 4},
        CommandCase{"NulBytesKept", "printf 'a\\0b'", std::string("a\0b", 3), 0},
        CommandCase{"ShellChainsAndRedirections", "echo out; echo err >&2; false || exit 7", "out\n", 7},
        CommandCase{"MissingProgramIsTheShellsStatus", "no-such-program-velnor 2>/dev/null", "", 127},
        // A signal's end is a failure, numbered as a shell numbers it.
        CommandCase{"KilledBySignalKeepsOutputAndFails", "printf before; kill -KILL $$; echo after",
                    "before", 128 + 9},
        CommandCase{"TerminatedBySignal", "kill -TERM $$", "", 128 + 15},
        CommandCase{"ChildKilledShellReportsIt", "sh -c 'kill -KILL $$'", "", 128 + 9}),
    [](const testing::TestParamInfo<CommandCase>& info) { return info.param.name; });

TEST(ExecCommandResult, ExitCodeIsResetBeforeRunning)
{
    int exitCode = 99;
    execCommand("true", exitCode);
    EXPECT_EQ(exitCode, 0);
}

// Runs in a child of the death test. With SIGCHLD ignored the kernel reaps the shell itself, so
// its end cannot be learnt: that must not read as a success.
[[noreturn]] static void runWithChildrenReapedElsewhere()
{
    std::signal(SIGCHLD, SIG_IGN);
    int exitCode = 0;
    execCommand("true", exitCode);
    std::_Exit(exitCode == -1 ? 0 : 1);
}

TEST(ExecCommandDeathTest, UnknownEndIsNoSuccess)
{
    EXPECT_EXIT(runWithChildrenReapedElsewhere(), testing::ExitedWithCode(0), "");
}

// Runs in a child of the death test: reports how execCommand failed as its exit status. It leaves
// by _Exit: a leak check at a normal exit needs descriptors this child no longer has.
[[noreturn]] static void runWithoutFreeDescriptors()
{
    const rlimit limit{3, 3};  // 0, 1 and 2 are taken, so no pipe can be made
    setrlimit(RLIMIT_NOFILE, &limit);
    int exitCode = 0;
    try {
        execCommand("true", exitCode);
    } catch (const std::runtime_error& error) {
        std::_Exit(std::strcmp(error.what(), "Cannot open pipe") == 0 ? 0 : 1);
    }
    std::_Exit(2);
}

TEST(ExecCommandDeathTest, NoDescriptorForThePipeThrowsCannotOpenPipe)
{
    EXPECT_EXIT(runWithoutFreeDescriptors(), testing::ExitedWithCode(0), "");
}

TEST(GenerateUuid, TimeBasedLowerCaseText)
{
    StdoutCapture capture;
    const std::string first = Utils::generate_uuid_v4();
    const std::string second = Utils::generate_uuid_v4();
    const std::string trace = capture.finish();

    for (const std::string& uuid : {first, second}) {
        ASSERT_EQ(uuid.size(), 36u) << uuid;
        for (std::size_t i = 0; i < uuid.size(); ++i) {
            if (i == 8 || i == 13 || i == 18 || i == 23)
                EXPECT_EQ(uuid[i], '-') << uuid;
            else
                EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(uuid[i])) &&
                            !std::isupper(static_cast<unsigned char>(uuid[i])))
                    << uuid;
        }
        EXPECT_EQ(uuid[14], '1') << "version digit of " << uuid;
    }
    EXPECT_NE(first, second);
    EXPECT_EQ(trace, "generate uuid=" + first + "\ngenerate uuid=" + second + "\n");
}

TEST(ExecCommandPipe, ReadEndIsCloseOnExecWhileTheCommandRuns)
{
    // The command finds its parent's end of the pipe it writes to and prints that end's open flags.
    const std::string command =
        "[ \"$PPID\" = \"" + std::to_string(getpid()) + "\" ] || exit 9; "
        "pipe=$(readlink /proc/$$/fd/1); "
        "for end in /proc/$PPID/fd/*; do "
        "  [ \"$(readlink \"$end\")\" = \"$pipe\" ] && sed -n 's/^flags:[[:space:]]*//p' /proc/$PPID/fdinfo/${end##*/}; "
        "done; true";
    int exitCode = -1;
    const std::string flags = execCommand(command, exitCode);
    ASSERT_EQ(exitCode, 0) << "the command runs as the test's own child";
    ASSERT_FALSE(flags.empty()) << "the parent holds the read end";
    EXPECT_NE(std::stoul(flags, nullptr, 8) & O_CLOEXEC, 0u) << flags;
}
