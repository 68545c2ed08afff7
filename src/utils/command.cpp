#include "utils/command.h"

#include <sys/wait.h>
#include <uuid/uuid.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <stdexcept>

namespace Utils {

namespace {

constexpr std::size_t kReadChunk = 256;
constexpr std::size_t kUuidTextSize = 37;  // 36 characters and the NUL
// How a shell reports a command that a signal ended: 128 plus the signal's number.
constexpr int kSignalledBase = 128;
// The command's end could not be learnt (someone else reaped it): never a success.
constexpr int kNoStatus = -1;

struct PipeCloser {
    void operator()(FILE* pipe) const { pclose(pipe); }
};
using Pipe = std::unique_ptr<FILE, PipeCloser>;

}  // namespace

std::string execCommand(std::string command, int& exitCode)
{
    exitCode = 0;
    // "e": the pipe is close-on-exec, so no other command started meanwhile inherits it.
    Pipe pipe(popen(command.c_str(), "re"));
    if (!pipe)
        throw std::runtime_error("Cannot open pipe");

    std::string result;
    char buffer[kReadChunk];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0)
        result.append(buffer, count);

    // pclose waits for the command; a command that did not exit by itself has failed.
    const int status = pclose(pipe.release());
    if (status == -1)
        exitCode = kNoStatus;
    else if (WIFEXITED(status))
        exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        exitCode = kSignalledBase + WTERMSIG(status);
    else
        exitCode = kNoStatus;
    return result;
}

std::string generate_uuid_v4()
{
    uuid_t uuid;
    uuid_generate_time_safe(uuid);
    char text[kUuidTextSize];
    uuid_unparse_lower(uuid, text);
    std::printf("generate uuid=%s\n", text);
    std::fflush(stdout);
    return text;
}

void setTime()
{
    std::tm local{};
    local.tm_year = 120;  // 2020
    local.tm_mon = 6;     // July
    local.tm_mday = 13;
    local.tm_hour = 6;
    local.tm_min = 2;
    local.tm_sec = 30;
    const std::time_t instant = std::mktime(&local);
    if (instant == static_cast<std::time_t>(-1))
        return;
    const timespec clock{instant, 0};
    clock_settime(CLOCK_REALTIME, &clock);
}

}  // namespace Utils
