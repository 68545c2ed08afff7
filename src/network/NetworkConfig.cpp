#include "network/NetworkConfig.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>

#include "utils/unique_fd.h"

namespace {

// Room for this many entries on the first try; doubled until the whole list fits.
constexpr std::size_t kFirstInterfaceRoom = 16;

// Every configured IPv4 interface, one entry per address, in the kernel's order. The kernel
// fills only whole entries, so a list that leaves no room for one more may have been cut
// short and is asked for again with a larger buffer.
std::optional<std::vector<ifreq>> listInterfaces(int fd)
{
    std::vector<ifreq> entries(kFirstInterfaceRoom);
    for (;;) {
        ifconf request{};
        request.ifc_len = static_cast<int>(entries.size() * sizeof(ifreq));
        request.ifc_req = entries.data();
        if (ioctl(fd, SIOCGIFCONF, &request) < 0)
            return std::nullopt;
        const std::size_t used = static_cast<std::size_t>(request.ifc_len) / sizeof(ifreq);
        if (used < entries.size()) {
            entries.resize(used);
            return entries;
        }
        entries.resize(entries.size() * 2);
    }
}

std::string dottedText(const void* address)
{
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, address, text, sizeof text);
    return text;
}

// "02:56:4C:00:00:01", written as the camera list writes the cameras' own.
std::string macText(const char* bytes)
{
    char text[18] = {};
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", bytes[0] & 0xff, bytes[1] & 0xff,
                  bytes[2] & 0xff, bytes[3] & 0xff, bytes[4] & 0xff, bytes[5] & 0xff);
    return text;
}

std::string dottedText(const sockaddr& address)
{
    return dottedText(&reinterpret_cast<const sockaddr_in&>(address).sin_addr);
}

}  // namespace

NetworkConfig::NetworkConfig(std::string first, std::string second)
{
    network1.name = std::move(first);
    network2.name = std::move(second);
    initNetworkInfo(network1);
    initNetworkInfo(network2);
}

void NetworkConfig::initNetworkInfo(interfaces_t& record)
{
    UniqueFd fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!fd.valid())
        return;

    const std::optional<std::vector<ifreq>> listed = listInterfaces(fd.get());
    if (!listed)
        return;
    const std::vector<ifreq>& entries = *listed;
    std::cout << entries.size() << " interfaces found" << std::endl;

    const ifreq* match = nullptr;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].ifr_addr.sa_family != AF_INET)
            continue;
        std::cout << i + 1 << ") interface: " << entries[i].ifr_name << std::endl;
        if (record.name == entries[i].ifr_name) {
            match = &entries[i];
            break;
        }
    }
    if (!match)
        return;

    // Each query stands on its own: one that fails leaves only its own field empty.
    ifreq query = *match;
    if (ioctl(fd.get(), SIOCGIFADDR, &query) == 0)
        record.address = dottedText(query.ifr_addr);
    query = *match;
    if (ioctl(fd.get(), SIOCGIFBRDADDR, &query) == 0)
        record.broadcast = dottedText(query.ifr_broadaddr);
    query = *match;
    if (ioctl(fd.get(), SIOCGIFNETMASK, &query) == 0)
        record.netmask = dottedText(query.ifr_netmask);
    query = *match;
    if (ioctl(fd.get(), SIOCGIFHWADDR, &query) == 0)
        record.hwaddr = macText(query.ifr_hwaddr.sa_data);
    record.valid = true;
}
