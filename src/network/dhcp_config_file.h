// The DHCP server's configuration file: the eleven lines written from the network page, the
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

// Replaces the file at path with text through a temporary file in the same folder, so the
// old file stays whole whatever fails. Keeps the old file's mode (0644 for a new file).
// On failure traces "Failed to write <path>: <reason>" and returns false.
bool replaceFile(const std::string& path, const std::string& text);

enum class DhcpFileWrite { Written, Refused, Failed };

// The DHCP server's own check, run on the temporary file before it replaces the old one.
inline constexpr const char* kDhcpdChecker = "/usr/sbin/dhcpd";

// Replaces the file like replaceFile, but when the checker is installed it first runs
// "CHECKER -t -cf TEMPORARY" (traced with its output): a file it refuses is removed, the old
// one stays, "Failed to write <path>: refused by <checker>" is traced and Refused returned.
// Without the checker the file is written unchecked.
DhcpFileWrite replaceDhcpConfig(const std::string& path, const std::string& text,
                                const std::string& checker = kDhcpdChecker);
