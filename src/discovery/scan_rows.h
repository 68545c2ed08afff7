// What a scan makes of the discovery replies before they reach the camera list.
#pragma once

#include <string>

// The credentials every camera leaves the factory with; the scan tries them on each camera.
inline constexpr const char* kFactoryUser = "admin";
inline constexpr const char* kFactoryPassword = "7395";

// A datagram's text as the list may show it: every byte that is not valid UTF-8 becomes
// U+FFFD, so the toolkit neither refuses nor garbles the cell. Valid text stays as it is.
std::string mendUtf8(const std::string& text);

// Decides which replies of one scan become rows: a reply that repeats both the address and the
// MAC of the reply just before it adds none (a camera that answered twice), and neither does an
// empty one at the start. Cameras waiting for DHCP all reply 0.0.0.0, so the address alone
// would merge them into one row.
class ReplySequence {
public:
    bool addsRow(const std::string& address, const std::string& mac)
    {
        const bool added = address != previousAddress_ || mac != previousMac_;
        previousAddress_ = address;
        previousMac_ = mac;
        return added;
    }

private:
    std::string previousAddress_;
    std::string previousMac_;
};
