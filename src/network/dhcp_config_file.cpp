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
// The server only counts leases against a class that clients belong to; every DHCP request
// carries a message type, so every client on the camera network joins and the limit holds.
constexpr const char* kEveryClientJoins = "match if exists dhcp-message-type;";

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
         << "  " << kEveryClientJoins << "\n"
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

constexpr int kMaxLinkHops = 40;  // as many as the kernel follows
constexpr const char* kPreviousSuffix = ".previous";

// Who owns a file and its permission bits; a new file gets the process's owner.
struct FileOwner {
    bool known = false;
    uid_t user = 0;
    gid_t group = 0;
    mode_t mode = kNewFileMode;
};

// The file the path names once its symbolic links are followed (the last one may dangle), so
// that replacing it keeps the links. Sets error to ELOOP on a loop.
std::string followLinks(const std::string& path, int& error)
{
    std::string current = path;
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        struct stat link {};
        if (::lstat(current.c_str(), &link) != 0 || !S_ISLNK(link.st_mode))
            return current;
        std::string target(static_cast<std::size_t>(link.st_size) + 1, '\0');
        const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
        if (length < 0 || static_cast<std::size_t>(length) >= target.size()) {
            error = length < 0 ? errno : ELOOP;  // changed under us: not worth chasing
            return current;
        }
        target.resize(static_cast<std::size_t>(length));
        current = !target.empty() && target[0] == '/' ? target : folderOf(current) + "/" + target;
    }
    error = ELOOP;
    return current;
}

// Reads the whole file; false with errno set when it cannot.
bool readWhole(const std::string& path, std::string& text)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        return false;
    char buffer[4096];
    ssize_t count;
    while ((count = ::read(fd.get(), buffer, sizeof buffer)) != 0) {
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        text.append(buffer, static_cast<std::size_t>(count));
    }
    return true;
}

// Writes text to a new temporary file beside destination, with the owner and mode given, and
// has it on disk before returning its name; empty with errno set when that fails.
std::string writeTemporary(const std::string& destination, const std::string& text,
                           const FileOwner& owner)
{
    std::string temporary = destination + ".XXXXXX";
    // Close-on-exec: the service restart starts a daemon through the shell that must not inherit it.
    UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.valid())
        return {};
    int error = 0;
    // The owner first: a change of owner clears set-id bits that the mode then puts back.
    if (!writeAll(fd.get(), text) ||
        (owner.known && ::fchown(fd.get(), owner.user, owner.group) != 0) ||
        ::fchmod(fd.get(), owner.mode) != 0 || ::fsync(fd.get()) != 0)
        error = errno;
    if (fd.close() != 0 && error == 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        errno = error;
        return {};
    }
    return temporary;
}

// Puts the temporary file in place of destination in one step, and that step on disk.
bool renameInto(const std::string& temporary, const std::string& destination)
{
    if (::rename(temporary.c_str(), destination.c_str()) != 0)
        return false;
    UniqueFd folder(::open(folderOf(destination).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid())
        ::fsync(folder.get());
    return true;
}

// Keeps the old text beside the file as a whole copy with the old owner and mode; the copy is
// complete on disk before the file itself changes.
bool keepPrevious(const std::string& previous, const std::string& text, const FileOwner& owner)
{
    const std::string temporary = writeTemporary(previous, text, owner);
    if (temporary.empty())
        return false;
    if (!renameInto(temporary, previous)) {
        const int error = errno;
        ::unlink(temporary.c_str());
        errno = error;
        return false;
    }
    return true;
}

DhcpFileWrite failedWrite(const std::string& path, int error)
{
    failed(path, errorText(error));
    return DhcpFileWrite::Failed;
}

// At every moment the path holds the whole old file or the whole new one: the new text goes
// into a temporary file beside the file (behind any symbolic link), the judge sees it there, the
// old text is copied aside, and only then one rename puts the new file in place.
DhcpFileWrite replaceJudged(const std::string& path, const std::string& text, const Judge& judge)
{
    int error = 0;
    const std::string target = followLinks(path, error);
    if (error != 0)
        return failedWrite(path, error);

    FileOwner owner;
    std::string oldText;
    struct stat old {};
    const bool oldExists = ::stat(target.c_str(), &old) == 0;
    if (oldExists) {
        owner = {true, old.st_uid, old.st_gid, static_cast<mode_t>(old.st_mode & 07777)};
        if (!readWhole(target, oldText))
            return failedWrite(path, errno);
    } else if (errno != ENOENT) {
        return failedWrite(path, errno);
    }

    const std::string temporary = writeTemporary(target, text, owner);
    if (temporary.empty())
        return failedWrite(path, errno);
    if (judge && !judge(temporary)) {
        ::unlink(temporary.c_str());
        return DhcpFileWrite::Refused;
    }

    // Without a whole copy of the old text the old file stays: it must never be lost.
    const std::string previous = path + kPreviousSuffix;
    if (oldExists && oldText != text) {
        if (!keepPrevious(previous, oldText, owner)) {
            error = errno;
            ::unlink(temporary.c_str());
            failed(previous, errorText(error));
            return failedWrite(path, error);
        }
        std::cout << "Kept the previous " << path << " as " << previous << std::endl;
    }

    if (!renameInto(temporary, target)) {
        error = errno;
        ::unlink(temporary.c_str());
        return failedWrite(path, error);
    }
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
        // Only a clean exit 0 accepts: a checker or shell ended by a signal counts as a refusal.
        const std::string line =
            shellQuoted(checker) + " -t -cf " + shellQuoted(temporary) + " 2>&1";
        if (Utils::runTracedCommand(line, "DHCP server check of " + temporary + ": [") == 0)
            return true;
        failed(path, "refused by " + checker);
        return false;
    });
}
