// What the wizard reads from a camera's answers: whether a login was accepted, its firmware,
// its address settings, and whether a password change took.
#pragma once

#include <optional>
#include <string>

#include "camera/camera_requests.h"

// The device information request answered: the credentials were accepted when the code is 200,
// and the firmware is the last "FirmwareVersion" of the body, if any.
struct DeviceInfo {
    bool accepted = false;
    std::optional<std::string> firmware;
};
DeviceInfo readDeviceInfo(const corvexPacket& answer);

// The camera's own settings for the address fields; a key the answers lack is left empty.
struct AddressSettings {
    std::optional<std::string> netmask;
    std::optional<std::string> gateway;
    std::optional<std::string> dns;
};
AddressSettings readAddressSettings(const std::string& interfaceBody, const std::string& dnsBody);

// A change took only when the camera said exactly "OK" with status 200.
bool passwordChangeAccepted(const corvexPacket& answer);
