// Texts of the DHCP server's configuration file as both DHCP suites compare them.
#pragma once

#include <sstream>
#include <string>
#include <vector>

// The file written for camera interface 192.168.1.1/24, 16 clients, 48 hours, pool .100 to
// .200 and DNS 8.8.8.8 and 8.8.4.4, byte for byte. Line 3 makes every client a member of the
// limited class, without which the server limits nobody.
inline constexpr const char* kWorkedExampleText =
    "class \"limited-1\" {\n"
    "  lease limit 16;\n"
    "  match if exists dhcp-message-type;\n"
    "}\n"
    "INTERFACESv4=\"eth1\";\n"
    "default-lease-time 172800;\n"
    "max-lease-time 172800;\n"
    "subnet 192.168.1.0 netmask 255.255.255.0 {\n"
    "  range 192.168.1.100 192.168.1.200;\n"
    "  option subnet-mask 255.255.255.0;\n"
    "  option domain-name-servers 8.8.8.8, 8.8.4.4;\n"
    "}\n";

inline std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}
