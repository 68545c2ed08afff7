// The ISC DHCP server's own syntax check of a configuration file.
#pragma once

#include <string>

struct DhcpdVerdict {
    int status;          // dhcpd's exit status, 0 when it accepts the file
    std::string output;  // what it printed, to show when it refuses
};

DhcpdVerdict dhcpdCheck(const std::string& path);

// Writes text to a fresh file under /tmp, checks it and removes it.
DhcpdVerdict dhcpdCheckText(const std::string& text);
