#include "network/camera_network.h"

#include <cstdint>

#include "utils/address.h"

namespace {

constexpr const char* kNoAddress = "0.0.0.0";

CameraNetwork currentNetwork;

struct Bits {
    uint32_t own = 0;
    uint32_t mask = 0;
};

// The recorder's own address and a mask whose ones run unbroken from the top.
bool readNetwork(const CameraNetwork& network, Bits& bits)
{
    return Utils::validateSubnetMask(network.netmask) && Utils::parseAddress(network.address, bits.own) &&
           Utils::parseAddress(network.netmask, bits.mask);
}

int prefixLength(uint32_t mask)
{
    int length = 0;
    for (; mask != 0; mask <<= 1)
        ++length;
    return length;
}

std::string dotted(uint32_t bits)
{
    return std::to_string(bits >> 24) + "." + std::to_string((bits >> 16) & 0xFF) + "." +
           std::to_string((bits >> 8) & 0xFF) + "." + std::to_string(bits & 0xFF);
}

}  // namespace

CameraPlace placeOf(const std::string& candidate, const CameraNetwork& network)
{
    if (candidate == kNoAddress)
        return CameraPlace::NoAddress;
    Bits bits;
    uint32_t host = 0;
    if (!readNetwork(network, bits) || !Utils::parseAddress(candidate, host))
        return CameraPlace::Outside;
    const uint32_t base = bits.own & bits.mask;
    const uint32_t broadcast = base | ~bits.mask;
    const bool inside = (host & bits.mask) == base && host != base && host != broadcast && host != bits.own;
    return inside ? CameraPlace::Inside : CameraPlace::Outside;
}

std::string networkText(const CameraNetwork& network)
{
    Bits bits;
    if (!readNetwork(network, bits))
        return "";
    return dotted(bits.own & bits.mask) + "/" + std::to_string(prefixLength(bits.mask));
}

std::string placeTooltip(CameraPlace place, const std::string& candidate, const CameraNetwork& network)
{
    switch (place) {
    case CameraPlace::Inside:
        break;
    case CameraPlace::NoAddress:
        return "This camera has no address yet, so the wizard does not contact it. Turn the "
               "recorder's DHCP server on to give it one, and Rescan.";
    case CameraPlace::Outside: {
        const std::string known = networkText(network);
        return candidate + " is outside the camera network" + (known.empty() ? "" : " " + known) +
               ", so the wizard does not contact it. Set the camera to DHCP (for example with its "
               "reset button) and Rescan.";
    }
    }
    return "";
}

void useCameraNetwork(const interfaces_t& cameraInterface)
{
    useCameraNetwork(CameraNetwork{cameraInterface.name, cameraInterface.address, cameraInterface.netmask});
}

void useCameraNetwork(const CameraNetwork& network)
{
    currentNetwork = network;
}

const CameraNetwork& cameraNetwork()
{
    return currentNetwork;
}
