#include "camera/camera_requests.h"

#include <iostream>
#include <memory>
#include <vector>

#include "camera/curlobject.h"
#include "camera/trace_mask.h"
#include "network/camera_network.h"
#include "utils/address.h"

namespace {

constexpr const char* kStatusCheckPath = "/init-cgi/pw_init.cgi?msubmenu=statuscheck&action=view";
constexpr const char* kDeviceInfoPath = "/kvt-cgi/system.cgi?msubmenu=deviceinfo&action=view";
constexpr const char* kInterfaceViewPath = "/kvt-cgi/network.cgi?msubmenu=interface&action=view";
constexpr const char* kDnsViewPath = "/kvt-cgi/network.cgi?msubmenu=dns&action=view";
constexpr const char* kDnsSetPath = "/kvt-cgi/network.cgi?msubmenu=dns&action=set&PrimaryDNS=";
constexpr const char* kInitPasswordPath =
    "/init-cgi/pw_init.cgi?msubmenu=setinitpassword&action=set&Password=";
constexpr const char* kChangePasswordPath = "/kvt-cgi/security.cgi?msubmenu=users&action=update&Index=";
constexpr const char* kSetDhcpPath = "/kvt-cgi/network.cgi?msubmenu=interface&action=set&IPv4Type=DHCP";
constexpr const char* kSetStaticPath =
    "/kvt-cgi/network.cgi?msubmenu=interface&action=set&IPv4Type=Manual&IPv4Address=";

constexpr const char* kFactoryStateMark = "Initialized=False";
constexpr const char* kAdminUser = "admin";

// Only a dotted IPv4 address names a camera: the text of a discovery reply such as "x@10.0.0.9"
// or a host name would send the credentials, and later a new password, to another host. And
// only a host of the camera network is asked: another address would take the default route
// out to the site's network.
bool refused(const std::string& address)
{
    if (!Utils::validateIpAddress(address)) {
        std::cout << "not a camera address, nothing sent: " << address << std::endl;
        return true;
    }
    if (placeOf(address, cameraNetwork()) != CameraPlace::Inside) {
        std::cout << "not on the camera network, nothing sent: " << address << std::endl;
        return true;
    }
    return false;
}

PreparedRequest request(const std::string& url, const std::string& user, const std::string& password)
{
    PreparedRequest prepared;
    prepared.transport = std::make_unique<CurlObject>(url, user, password);
    prepared.passwords = {password};
    return prepared;
}

}  // namespace

PreparedRequest::PreparedRequest() = default;
PreparedRequest::PreparedRequest(PreparedRequest&&) noexcept = default;
PreparedRequest& PreparedRequest::operator=(PreparedRequest&&) noexcept = default;
PreparedRequest::~PreparedRequest() = default;

// A camera may echo the request's passwords, so the traced answer shows them masked.
corvexPacket finishRequest(const PreparedRequest& request, bool completed)
{
    corvexPacket packet;
    if (request.transport && completed) {
        packet.body = request.transport->GetResponseBody();
        packet.code = request.transport->GetResponseCode();
        std::cout << "/////////////header/////////: " << packet.code << std::endl;
        std::cout << "readbuf: " << maskPasswords(packet.body, request.passwords) << std::endl;
    } else if (request.transport && request.failureTrace != nullptr) {
        // The transport has traced why, masked.
        std::cout << request.failureTrace << packet.code << std::endl;
    }
    if (request.transport && request.endTrace != nullptr)
        std::cout << request.endTrace << std::endl;
    return packet;
}

corvexPacket perform(PreparedRequest request)
{
    const bool completed = request.transport && request.transport->Get();
    return finishRequest(request, completed);
}

bool isAuthorized(int64_t code)
{
    return code == 200;
}

std::string getStatus(const std::string& address)
{
    return statusOf(perform(prepareStatusCheck(address)));
}

PreparedRequest prepareStatusCheck(const std::string& address)
{
    if (refused(address))
        return {};
    return request(address + kStatusCheckPath, "", "");
}

std::string statusOf(const corvexPacket& statusCheck)
{
    if (statusCheck.body.find(kFactoryStateMark) != std::string::npos)
        return "Need Password";
    return "Not Connected";
}

corvexPacket getCorvexData(int mode, const Glib::ustring& address, const Glib::ustring& user,
                           const Glib::ustring& password)
{
    return perform(prepareCorvexData(mode, address, user, password));
}

PreparedRequest prepareCorvexData(int mode, const Glib::ustring& address, const Glib::ustring& user,
                                  const Glib::ustring& password)
{
    if (refused(address.raw()))
        return {};
    const char* path = nullptr;
    if (mode == kDeviceInfoView)
        path = kDeviceInfoPath;
    else if (mode == kInterfaceView)
        path = kInterfaceViewPath;
    else
        return {};  // no such view: nothing is sent
    return request(address.raw() + path, user.raw(), password.raw());
}

corvexPacket getCorvexDNS(const Glib::ustring& address, const Glib::ustring& user,
                          const Glib::ustring& password)
{
    return perform(prepareGetCorvexDNS(address, user, password));
}

PreparedRequest prepareGetCorvexDNS(const Glib::ustring& address, const Glib::ustring& user,
                                    const Glib::ustring& password)
{
    if (refused(address.raw()))
        return {};
    return request(address.raw() + kDnsViewPath, user.raw(), password.raw());
}

corvexPacket setCorvexDNS(const Glib::ustring& address, const Glib::ustring& user,
                          const Glib::ustring& password, const Glib::ustring& dns)
{
    return perform(prepareSetCorvexDNS(address, user, password, dns));
}

PreparedRequest prepareSetCorvexDNS(const Glib::ustring& address, const Glib::ustring& user,
                                    const Glib::ustring& password, const Glib::ustring& dns)
{
    if (refused(address.raw()))
        return {};
    // Only a dotted address goes into the query: a text such as "8.8.8.8&x=1" would add a field.
    if (!Utils::validateIpAddress(dns.raw())) {
        std::cout << "not a DNS server address, nothing sent" << std::endl;
        return {};
    }
    return request(address.raw() + kDnsSetPath + dns.raw(), user.raw(), password.raw());
}

corvexPacket postCorvexSetPassword(const Glib::ustring& address, const Glib::ustring& newPassword)
{
    return perform(preparePostCorvexSetPassword(address, newPassword));
}

PreparedRequest preparePostCorvexSetPassword(const Glib::ustring& address, const Glib::ustring& newPassword)
{
    if (refused(address.raw()))
        return {};
    std::cout << "CHANGE PW REQ------" << std::endl;
    PreparedRequest prepared;
    prepared.transport =
        std::make_unique<CurlObject>(address.raw() + kInitPasswordPath, "", "", newPassword.raw());
    prepared.passwords = {newPassword.raw()};
    return prepared;
}

corvexPacket postCorvexChangePassword(const Glib::ustring& address, const Glib::ustring& userId,
                                      const Glib::ustring& currentPassword,
                                      const Glib::ustring& newPassword)
{
    return perform(preparePostCorvexChangePassword(address, userId, currentPassword, newPassword));
}

PreparedRequest preparePostCorvexChangePassword(const Glib::ustring& address, const Glib::ustring& userId,
                                                const Glib::ustring& currentPassword,
                                                const Glib::ustring& newPassword)
{
    if (refused(address.raw()))
        return {};
    const std::string index = userId.raw() == kAdminUser ? "0" : "1";
    // Encoded like the password, so an ID holding "&" or "=" cannot add or change query fields.
    const std::string url = address.raw() + kChangePasswordPath + index + "&UserID=" +
                            percentEncode(userId.raw()) + "&Password=";

    std::cout << "CHANGE PW REQ------" << std::endl;
    PreparedRequest prepared;
    prepared.transport =
        std::make_unique<CurlObject>(url, userId.raw(), currentPassword.raw(), newPassword.raw());
    prepared.passwords = {currentPassword.raw(), newPassword.raw()};
    prepared.failureTrace = "change pw error: ";
    prepared.endTrace = "/////////////-----END------///////// ";
    return prepared;
}

corvexPacket postCorvexSetDhcp(const Glib::ustring& address, const Glib::ustring& user,
                               const Glib::ustring& password)
{
    return perform(preparePostCorvexSetDhcp(address, user, password));
}

PreparedRequest preparePostCorvexSetDhcp(const Glib::ustring& address, const Glib::ustring& user,
                                         const Glib::ustring& password)
{
    if (refused(address.raw()))
        return {};
    return request(address.raw() + kSetDhcpPath, user.raw(), password.raw());
}

corvexPacket postCorvexSetStatic(const Glib::ustring& address, const Glib::ustring& user,
                                 const Glib::ustring& password, const Glib::ustring& staticAddress,
                                 const std::string& gateway, const std::string& mask)
{
    return perform(preparePostCorvexSetStatic(address, user, password, staticAddress, gateway, mask));
}

PreparedRequest preparePostCorvexSetStatic(const Glib::ustring& address, const Glib::ustring& user,
                                           const Glib::ustring& password, const Glib::ustring& staticAddress,
                                           const std::string& gateway, const std::string& mask)
{
    if (refused(address.raw()))
        return {};
    // Encoded, so that no text typed into the dialog can add or change a query field.
    const std::string url = address.raw() + kSetStaticPath + percentEncode(staticAddress.raw()) +
                            "&IPv4PrefixLength=" + percentEncode(Utils::calculatePrefix(mask)) +
                            "&IPv4Gateway=" + percentEncode(gateway);
    return request(url, user.raw(), password.raw());
}
