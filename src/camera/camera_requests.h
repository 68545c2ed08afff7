// Every request the wizard sends to a camera, and the answer it hands back.
#pragma once

#include <glibmm/ustring.h>

#include <cstdint>
#include <string>

// The answer of one request: empty body and code 0 when the transfer failed.
struct corvexPacket {
    std::string body;
    int64_t code = 0;
};

// The credentials were accepted: status 200 and nothing else.
bool isAuthorized(int64_t code);

// "Need Password" for a camera still in factory state, "Not Connected" otherwise.
std::string getStatus(const std::string& address);

constexpr int kDeviceInfoView = 0;
constexpr int kInterfaceView = 1;
// Device information (kDeviceInfoView) or interface settings (kInterfaceView).
corvexPacket getCorvexData(int mode, const Glib::ustring& address, const Glib::ustring& user,
                           const Glib::ustring& password);

corvexPacket getCorvexDNS(const Glib::ustring& address, const Glib::ustring& user,
                          const Glib::ustring& password);
corvexPacket setCorvexDNS(const Glib::ustring& address, const Glib::ustring& user,
                          const Glib::ustring& password, const Glib::ustring& dns);

// Sets the first password of a camera in factory state; no credentials needed.
corvexPacket postCorvexSetPassword(const Glib::ustring& address, const Glib::ustring& newPassword);
// Succeeded when the code is 200 and the body is exactly "OK".
corvexPacket postCorvexChangePassword(const Glib::ustring& address, const Glib::ustring& userId,
                                      const Glib::ustring& currentPassword,
                                      const Glib::ustring& newPassword);

corvexPacket postCorvexSetDhcp(const Glib::ustring& address, const Glib::ustring& user,
                               const Glib::ustring& password);
// The mask travels as its prefix length.
corvexPacket postCorvexSetStatic(const Glib::ustring& address, const Glib::ustring& user,
                                 const Glib::ustring& password, const Glib::ustring& staticAddress,
                                 const std::string& gateway, const std::string& mask);
