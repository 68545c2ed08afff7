// Every request the wizard sends to a camera, and the answer it hands back.
#pragma once

#include <glibmm/ustring.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CurlObject;

// The answer of one request: empty body and code 0 when the transfer failed.
struct corvexPacket {
    std::string body;
    int64_t code = 0;
};

// One request ready to be sent: its transport, the passwords its answer may echo (masked in the
// trace) and the traces on failure and at its end. No transport: the camera may not be asked,
// nothing is sent and the answer is empty.
struct PreparedRequest {
    PreparedRequest();
    PreparedRequest(PreparedRequest&&) noexcept;
    PreparedRequest& operator=(PreparedRequest&&) noexcept;
    ~PreparedRequest();

    std::unique_ptr<CurlObject> transport;
    std::vector<std::string> passwords;
    const char* failureTrace = nullptr;
    const char* endTrace = nullptr;
};

// The answer of a transfer that ended, completed or not, traced as every request's answer is.
corvexPacket finishRequest(const PreparedRequest& request, bool completed);
// Sends the request and waits for its answer.
corvexPacket perform(PreparedRequest request);

// The credentials were accepted: status 200 and nothing else.
bool isAuthorized(int64_t code);

// "Need Password" for a camera still in factory state, "Not Connected" otherwise.
std::string getStatus(const std::string& address);
// The status check, and what its answer says (an empty answer: "Not Connected").
PreparedRequest prepareStatusCheck(const std::string& address);
std::string statusOf(const corvexPacket& statusCheck);

constexpr int kDeviceInfoView = 0;
constexpr int kInterfaceView = 1;
// Device information (kDeviceInfoView) or interface settings (kInterfaceView).
corvexPacket getCorvexData(int mode, const Glib::ustring& address, const Glib::ustring& user,
                           const Glib::ustring& password);

// Each request below is also offered unsent, as prepareX with the same arguments, for requests
// run side by side.
PreparedRequest prepareCorvexData(int mode, const Glib::ustring& address, const Glib::ustring& user,
                                  const Glib::ustring& password);
PreparedRequest prepareGetCorvexDNS(const Glib::ustring& address, const Glib::ustring& user,
                                    const Glib::ustring& password);
PreparedRequest prepareSetCorvexDNS(const Glib::ustring& address, const Glib::ustring& user,
                                    const Glib::ustring& password, const Glib::ustring& dns);
PreparedRequest preparePostCorvexSetPassword(const Glib::ustring& address, const Glib::ustring& newPassword);
PreparedRequest preparePostCorvexChangePassword(const Glib::ustring& address, const Glib::ustring& userId,
                                                const Glib::ustring& currentPassword,
                                                const Glib::ustring& newPassword);
PreparedRequest preparePostCorvexSetDhcp(const Glib::ustring& address, const Glib::ustring& user,
                                         const Glib::ustring& password);
PreparedRequest preparePostCorvexSetStatic(const Glib::ustring& address, const Glib::ustring& user,
                                           const Glib::ustring& password, const Glib::ustring& staticAddress,
                                           const std::string& gateway, const std::string& mask);

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
