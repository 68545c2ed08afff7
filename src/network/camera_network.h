// The camera network behind eth1: the only network whose hosts the wizard sends camera requests
// to, since they carry the factory login and the installer's new passwords.
#pragma once

#include <string>

#include "network/NetworkConfig.h"

inline constexpr const char* kCameraInterface = "eth1";
inline constexpr const char* kSiteInterface = "eth0";

// The row statuses of replies the wizard never asks; both behave as "Not Connected".
inline constexpr const char* kOtherNetworkStatus = "Other Network";
inline constexpr const char* kNoAddressStatus = "No Address";

struct CameraNetwork {
    std::string interfaceName;  // empty until the wizard has found its camera interface
    std::string address;        // the recorder's own address on it
    std::string netmask;
};

enum class CameraPlace {
    Inside,     // a host of the camera network: asked
    NoAddress,  // 0.0.0.0, a camera still waiting for DHCP: listed, never asked
    Outside,    // anything else, also a text that is no dotted address: listed, never asked
};

// Where a camera's address lies: inside only when it is in the network of the recorder's own
// address and netmask, and is neither that network's network nor broadcast address nor the
// recorder's own. An unknown or malformed network has no inside.
CameraPlace placeOf(const std::string& candidate, const CameraNetwork& network);

// The network as "192.168.1.0/24"; empty when it is not known.
std::string networkText(const CameraNetwork& network);

// Why the wizard does not ask the camera, for the row's tooltip; empty for a camera inside.
std::string placeTooltip(CameraPlace place, const std::string& candidate, const CameraNetwork& network);

// The camera network of this process, taken from the camera interface at start-up. Until then
// no network is known and no camera request leaves.
void useCameraNetwork(const interfaces_t& cameraInterface);
void useCameraNetwork(const CameraNetwork& network);
const CameraNetwork& cameraNetwork();
