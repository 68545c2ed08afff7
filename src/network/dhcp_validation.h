// The network page's rules for leaving it: which field is wrong, first one only.
#pragma once

#include <string>

struct DhcpFieldCheck {
    enum class Field { None, StartIp, EndIp, PrimaryDns, SecondaryDns };
    Field field = Field::None;  // None: the page may be left
    std::string trace;          // what goes to standard output
    std::string message;        // what the error label beside the field shows
};

// Checks only the syntax of each field, in the page's order; with DHCP off nothing is checked.
DhcpFieldCheck checkDhcpSettings(bool enabled, const std::string& startIp,
                                 const std::string& endIp, const std::string& primaryDns,
                                 const std::string& secondaryDns);
