// The DHCP server's configuration file: the twelve lines written from the network page, the
// reader's rules for one line of an existing file, and replacing the file safely.
#pragma once

#include <optional>
#include <string>

// What the written file is made of: the page's inputs and the camera interface.
struct DhcpSettings {
    double users = 0;            // maximum DHCP clients
    double leaseHours = 0;
    std::string startIp;
    std::string endIp;
    std::string primaryDns;
    std::string secondaryDns;
    std::string cameraAddress;   // address of the camera interface
    std::string cameraNetmask;   // its real netmask, written as the subnet-mask option
    std::string shownCameraAddress;  // what the page shows for the camera interface
};

// The file's text. Throws std::invalid_argument (or std::out_of_range) when the page shows
// a valid address but the camera interface's own address holds no number to derive the
// subnet from.
std::string formatDhcpConfig(const DhcpSettings& settings);

// What one line of an existing file sets on the page; unset fields leave the page alone.
struct DhcpLineValues {
    std::optional<double> leaseHours;
    std::optional<double> users;
    std::optional<std::string> primaryDns;
    std::optional<std::string> secondaryDns;
};

// Applies the reader's rules to one line, tracing each word.
DhcpLineValues readDhcpLine(const std::string& line);

// Replaces the file at path with text so that the path always holds the whole old file or the
// whole new one: a temporary file in the same folder, on disk, then renamed over it. A symbolic
// link is followed and stays; its target is replaced. The old owner, group and mode are kept
// (0644 and the process's owner for a new file). When the text changes, the old file is first
// kept as PATH.previous (same owner and mode; traced), and without that copy nothing is replaced.
// On failure traces "Failed to write <path>: <reason>" and returns false.
bool replaceFile(const std::string& path, const std::string& text);

enum class DhcpFileWrite { Written, Refused, Failed };

// The DHCP server's own check, run on the temporary file before it replaces the old one.
inline constexpr const char* kDhcpdChecker = "/usr/sbin/dhcpd";

// Replaces the file like replaceFile, but when the checker is installed it first runs
// "CHECKER -t -cf TEMPORARY" (traced with its output): a file it refuses, or a check that does
// not end in a clean exit 0 (a signal ended it or its shell), is removed, the old one stays with
// no copy made, "Failed to write <path>: refused by <checker>" is traced and Refused returned.
// Without the checker the file is written unchecked.
DhcpFileWrite replaceDhcpConfig(const std::string& path, const std::string& text,
                                const std::string& checker = kDhcpdChecker);
