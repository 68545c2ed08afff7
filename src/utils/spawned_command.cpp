#include "utils/spawned_command.h"

#include <sys/wait.h>
#include <unistd.h>

#include <glibmm/main.h>
#include <glibmm/spawn.h>

#include <chrono>
#include <iostream>
#include <memory>

#include "utils/main_loop_wait.h"
#include "utils/unique_fd.h"

namespace Utils {

namespace {

constexpr const char* kShell = "/bin/sh";
constexpr int kSignalledBase = 128;
constexpr int kNotStarted = -1;
constexpr std::size_t kReadChunk = 4096;
// A service command that never ends would hold the installer for ever; none takes this long.
constexpr auto kCommandLimit = std::chrono::minutes(5);

// One running command: its output as it comes, and its status once it has ended.
struct Running {
    std::string prefix;
    std::function<void(int)> onEnd;
    UniqueFd output;
    std::string text;
    bool outputEnded = false;
    bool exited = false;
    int status = kNotStarted;

    void endIfDone(const std::shared_ptr<Running>& self)
    {
        if (!outputEnded || !exited)
            return;
        std::cout << prefix << status << "] " << text << std::endl;
        if (onEnd)
            onEnd(status);
        self->onEnd = nullptr;
    }
};

}  // namespace

int shellStatus(int waitStatus)
{
    if (WIFEXITED(waitStatus))
        return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus))
        return kSignalledBase + WTERMSIG(waitStatus);
    return kNotStarted;
}

void startTracedCommand(const std::string& line, const std::string& tracePrefix,
                        std::function<void(int status)> onEnd)
{
    auto running = std::make_shared<Running>();
    running->prefix = tracePrefix;
    running->onEnd = std::move(onEnd);
    Glib::Pid pid = 0;
    int outputFd = -1;
    try {
        Glib::spawn_async_with_pipes(std::string(), std::vector<std::string>{kShell, "-c", line},
                                     Glib::SPAWN_DO_NOT_REAP_CHILD, Glib::SlotSpawnChildSetup(), &pid,
                                     nullptr, &outputFd, nullptr);
    } catch (const Glib::SpawnError& error) {
        running->text = error.what();
        running->outputEnded = running->exited = true;
        running->endIfDone(running);
        return;
    }
    running->output.reset(outputFd);

    Glib::signal_io().connect(
        [running](Glib::IOCondition) {
            char buffer[kReadChunk];
            const ssize_t count = read(running->output.get(), buffer, sizeof buffer);
            if (count > 0) {
                running->text.append(buffer, static_cast<std::size_t>(count));
                return true;
            }
            running->output.reset();
            running->outputEnded = true;
            running->endIfDone(running);
            return false;
        },
        outputFd, Glib::IO_IN | Glib::IO_HUP | Glib::IO_ERR);
    Glib::signal_child_watch().connect(
        [running](Glib::Pid child, int waitStatus) {
            Glib::spawn_close_pid(child);
            running->status = shellStatus(waitStatus);
            running->exited = true;
            running->endIfDone(running);
        },
        pid);
}

int awaitTracedCommand(const std::string& line, const std::string& tracePrefix)
{
    // Shared with the command's end, which may come after the limit, when this frame is gone.
    struct Awaited {
        MainLoopWait wait;
        int status = kNotStarted;
    };
    auto awaited = std::make_shared<Awaited>();
    startTracedCommand(line, tracePrefix, [awaited](int ended) {
        awaited->status = ended;
        awaited->wait.finish();
    });
    awaited->wait.run(kCommandLimit);
    return awaited->status;
}

}  // namespace Utils
