#include "dhcpd_check.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace {

constexpr const char* kDhcpd = "/usr/sbin/dhcpd";

}  // namespace

DhcpdVerdict dhcpdCheck(const std::string& path)
{
    const std::string command = std::string(kDhcpd) + " -t -cf '" + path + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return {-1, "cannot run " + command};
    DhcpdVerdict verdict{0, ""};
    char buffer[512];
    std::size_t count;
    while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        verdict.output.append(buffer, count);
    const int status = pclose(pipe);
    verdict.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return verdict;
}

DhcpdVerdict dhcpdCheckText(const std::string& text)
{
    char path[] = "/tmp/dhcpd-check-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        throw std::runtime_error("cannot create a file under /tmp");
    close(fd);
    std::ofstream(path) << text;
    DhcpdVerdict verdict = dhcpdCheck(path);
    unlink(path);
    return verdict;
}
