#include "network/dhcp_config_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <functional>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "utils/address.h"
#include "utils/traced_command.h"
#include "utils/unique_fd.h"

namespace {

constexpr long long kSecondsPerHour = 3600;
constexpr double kLeaseHoursFloor = 120;
constexpr double kUsersFloor = 50;
constexpr mode_t kNewFileMode = 0644;
constexpr const char* kNoDnsServer = "0.0.0.0";

long long wholePart(double value)
{
    return static_cast<long long>(std::trunc(value));
}

std::string dnsServers(const DhcpSettings& settings)
{
    std::string servers = kNoDnsServer;
    if (Utils::validateIpAddress(settings.primaryDns))
        servers = settings.primaryDns;
    if (Utils::validateIpAddress(settings.secondaryDns))
        servers += ", " + settings.secondaryDns;
    return servers;
}

void removeAll(std::string& word, char c)
{
    word.erase(std::remove(word.begin(), word.end(), c), word.end());
}

// The leading number of a word such as "7200;"; nothing when it does not begin with one.
std::optional<double> leadingNumber(const std::string& word)
{
    try {
        const double value = std::stod(word);
        if (std::isfinite(value))
            return value;
    } catch (const std::invalid_argument&) {
    } catch (const std::out_of_range&) {
    }
    std::cout << "Could not convert DHCP string to double" << std::endl;
    return std::nullopt;
}

std::string errorText(int error)
{
    return std::strerror(error);
}

bool failed(const std::string& path, const std::string& reason)
{
    std::cout << "Failed to write " << path << ": " << reason << std::endl;
    return false;
}

bool writeAll(int fd, const std::string& text)
{
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string formatDhcpConfig(const DhcpSettings& settings)
{
    std::vector<int> octets;
    Utils::getOctetsIP(settings.cameraAddress, octets);
    const std::string subnet = Utils::validateIpAddress(settings.shownCameraAddress)
                                   ? Utils::calculateDhcpSubnet(settings.cameraAddress)
                                   : std::string();
    const long long leaseSeconds = wholePart(settings.leaseHours) * kSecondsPerHour;

    std::ostringstream text;
    text << "class \"limited-1\" {\n"
         << "  lease limit " << wholePart(settings.users) << ";\n"
         << "}\n"
         << "INTERFACESv4=\"eth1\";\n"
         << "default-lease-time " << leaseSeconds << ";\n"
         << "max-lease-time " << leaseSeconds << ";\n"
         << "subnet " << subnet << " netmask " << Utils::calculateDhcpNetmask(octets) << " {\n"
         << "  range " << settings.startIp << " " << settings.endIp << ";\n"
         << "  option subnet-mask " << settings.cameraNetmask << ";\n"
         << "  option domain-name-servers " << dnsServers(settings) << ";\n"
         << "}\n";
    return text.str();
}

DhcpLineValues readDhcpLine(const std::string& line)
{
    DhcpLineValues values;
    if (line.empty() || line[0] == '#')
        return values;

    std::string previous;
    std::string rangeStart;
    bool secondServer = false;
    std::size_t index = 0;
    for (std::string word : Utils::split(line)) {
        std::cout << "feat: " << word << std::endl;
        if (previous == "default-lease-time" && index >= 1) {
            if (const auto seconds = leadingNumber(word)) {
                std::cout << "DEFAULT LEASE TIME: " << *seconds << std::endl;
                const double hours = *seconds / static_cast<double>(kSecondsPerHour);
                values.leaseHours = std::max(hours, kLeaseHoursFloor);
            }
        } else if (previous == "limit" && index >= 2) {
            if (const auto users = leadingNumber(word)) {
                std::cout << "DEFAULT USER COUNT " << *users << std::endl;
                values.users = std::max(*users, kUsersFloor);
            }
        } else if (previous == rangeStart && index >= 2) {
            std::cout << "end: " << word << std::endl;
            removeAll(word, ';');
        } else if (previous == "range" && index >= 1) {
            rangeStart = word;
            std::cout << "start: " << word << std::endl;
        } else if (previous == "domain-name-servers" && index >= 2) {
            if (word.find(',') != std::string::npos) {
                removeAll(word, ',');
                secondServer = true;
            }
            // A single server still carries the statement's ";".
            removeAll(word, ';');
            std::cout << "dns: " << word << std::endl;
            if (Utils::validateIpAddress(word))
                values.primaryDns = word;
        } else if (secondServer) {
            removeAll(word, ';');
            if (Utils::validateIpAddress(word))
                values.secondaryDns = word;
        }
        previous = word;
        ++index;
    }
    return values;
}

namespace {

// Says whether the written temporary file may replace the old one; traces why not itself.
using Judge = std::function<bool(const std::string& temporary)>;

DhcpFileWrite replaceJudged(const std::string& path, const std::string& text, const Judge& judge)
{
    mode_t mode = kNewFileMode;
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0)
        mode = old.st_mode & 07777;

    std::string temporary = path + ".XXXXXX";
    // Close-on-exec: the service restart starts a daemon through the shell that must not inherit it.
    UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.valid()) {
        failed(path, errorText(errno));
        return DhcpFileWrite::Failed;
    }

    int error = 0;
    if (!writeAll(fd.get(), text) || ::fchmod(fd.get(), mode) != 0 || ::fsync(fd.get()) != 0)
        error = errno;
    if (fd.close() != 0 && error == 0)
        error = errno;
    const bool accepted = error != 0 || !judge || judge(temporary);
    if (error == 0 && accepted && ::rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0 || !accepted) {
        ::unlink(temporary.c_str());
        if (error != 0)
            failed(path, errorText(error));
        return error != 0 ? DhcpFileWrite::Failed : DhcpFileWrite::Refused;
    }

    // The rename itself reaches the disk with the folder.
    UniqueFd folder(::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid())
        ::fsync(folder.get());
    return DhcpFileWrite::Written;
}

std::string shellQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

bool replaceFile(const std::string& path, const std::string& text)
{
    return replaceJudged(path, text, nullptr) == DhcpFileWrite::Written;
}

DhcpFileWrite replaceDhcpConfig(const std::string& path, const std::string& text,
                                const std::string& checker)
{
    if (::access(checker.c_str(), X_OK) != 0) {
        std::cout << "No DHCP server check (" << checker << " not installed), writing " << path
                  << std::endl;
        return replaceJudged(path, text, nullptr);
    }
    return replaceJudged(path, text, [&](const std::string& temporary) {
        // "exit": a checker killed by a signal ends the shell with a status, never with 0.
        const std::string line = shellQuoted(checker) + " -t -cf " + shellQuoted(temporary) +
                                 " 2>&1; exit $?";
        if (Utils::runTracedCommand(line, "DHCP server check of " + temporary + ": [") == 0)
            return true;
        failed(path, "refused by " + checker);
        return false;
    });
}
