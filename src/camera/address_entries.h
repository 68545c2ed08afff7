// The checks of the IP assignment dialog's entries before anything is sent to the camera.
#pragma once

#include <optional>
#include <string>

struct AddressEntries {
    std::string address;
    std::string mask;
    std::string gateway;
    std::string dns;
};

// What the recorder's network page says about its DHCP server when Apply is pressed.
struct DhcpPool {
    bool serving = false;
    std::string recorderAddress;  // the recorder's own address on the camera network
    std::string start;
    std::string end;
};

inline constexpr const char* kInvalidAddress = "Please enter valid IP";
inline constexpr const char* kInvalidMask = "Please enter valid subnet mask";
inline constexpr const char* kInvalidGateway = "Please enter valid gateway";

// The message for a static address inside the pool: the pool on its own line, indented.
std::string poolMessage(const std::string& start, const std::string& end);

// The first refusal in the dialog's fixed order (address, pool, mask, gateway), traced; nothing
// when every check passes. The pool is checked only for a static address while DHCP serves, and
// only with a valid mask, which it needs.
// Mask and gateway must be valid in both modes: the camera keeps them whatever it is told.
std::optional<std::string> firstRefusal(const AddressEntries& entries, bool manual, const DhcpPool& pool);
