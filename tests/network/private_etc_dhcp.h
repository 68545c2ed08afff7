// Gives the calling thread, and the commands it starts, an /etc/dhcp of its own: an empty tmpfs
// in a private mount namespace, so tests never touch the host's DHCP server configuration.
#pragma once

#include <string>

// Fails the current test fatally when the folder could not be made private.
void mountPrivateEtcDhcp();

// Changes the private mount: read-only, or a size limit such as "size=4k".
void remountPrivateEtcDhcp(unsigned long flags, const std::string& options = "");

// Puts a shell script over an existing file of this private mount namespace (such as the DHCP
// server's program) for as long as the object lives.
class ScriptOver {
public:
    ScriptOver(const std::string& path, const std::string& body);
    ~ScriptOver();
    ScriptOver(const ScriptOver&) = delete;
    ScriptOver& operator=(const ScriptOver&) = delete;

private:
    std::string path_, folder_;
};

inline constexpr const char* kEtcDhcp = "/etc/dhcp";
inline constexpr const char* kDhcpdConf = "/etc/dhcp/dhcpd.conf";
