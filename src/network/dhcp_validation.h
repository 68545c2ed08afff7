// The network page's rules for leaving it: which field is wrong, first one only.
#pragma once

#include <string>

struct DhcpFieldCheck {
    enum class Field { None, StartIp, EndIp, PrimaryDns, SecondaryDns };
    Field field = Field::None;  // None: the page may be left
    std::string trace;          // what goes to standard output
    std::string message;        // what the error label beside the field shows
};

// Checks each field in the page's order; with DHCP off nothing is checked. Each pool bound must
// be an address inside the camera interface's subnet: its address with its netmask, or with the
// address's class mask (the subnet the file declares) when the netmask is no valid mask. With
// no camera address (or one of no class, such as 0.0.0.0) only the syntax is checked.
DhcpFieldCheck checkDhcpSettings(bool enabled, const std::string& startIp,
                                 const std::string& endIp, const std::string& primaryDns,
                                 const std::string& secondaryDns,
                                 const std::string& cameraAddress = "",
                                 const std::string& cameraNetmask = "");
