#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "camera/address_entries.h"
#include "support/stdout_capture.h"

TEST(FirstRefusal, AddressPoolMaskGatewayInThatOrder)
{
    const DhcpPool serving{true, "192.168.1.1", "192.168.1.100", "192.168.1.200"};
    const DhcpPool off{false, "192.168.1.1", "192.168.1.100", "192.168.1.200"};
    const std::string pool = "Please enter IP address out of DHCP range:\n"
                             "                192.168.1.100-192.168.1.200";
    struct Case {
        const char* name;
        AddressEntries entries;
        bool manual;
        DhcpPool dhcp;
        std::optional<std::string> refusal;
    };
    const Case cases[] = {
        {"all good", {"192.168.1.50", "255.255.255.0", "192.168.1.1", ""}, true, serving, std::nullopt},
        {"bad address", {"192.168.1", "255.255.255.0", "192.168.1.1", ""}, true, serving, kInvalidAddress},
        {"bad address, DHCP", {"", "255.255.255.0", "192.168.1.1", ""}, false, serving, kInvalidAddress},
        {"inside the pool", {"192.168.1.150", "255.255.255.0", "192.168.1.1", ""}, true, serving, pool},
        {"pool before a bad gateway", {"192.168.1.150", "255.255.255.0", "x", ""}, true, serving, pool},
        {"inside the pool, bad mask", {"192.168.1.150", "255.0.255.0", "x", ""}, true, serving, kInvalidMask},
        {"inside, server off", {"192.168.1.150", "255.255.255.0", "192.168.1.1", ""}, true, off, std::nullopt},
        {"inside, DHCP mode", {"192.168.1.150", "255.255.255.0", "192.168.1.1", ""}, false, serving, std::nullopt},
        {"mask with a gap", {"192.168.1.50", "255.0.255.0", "192.168.1.1", ""}, true, serving, kInvalidMask},
        {"mask not a mask", {"192.168.1.50", "1.2.3.4", "192.168.1.1", ""}, true, off, kInvalidMask},
        {"no mask, DHCP", {"192.168.1.50", "", "192.168.1.1", ""}, false, off, kInvalidMask},
        {"no gateway", {"192.168.1.50", "255.255.255.0", "", ""}, true, serving, kInvalidGateway},
        {"no gateway, DHCP", {"192.168.1.50", "255.255.255.0", "", ""}, false, serving, kInvalidGateway},
        {"a bad DNS is not refused", {"192.168.1.50", "255.255.255.0", "192.168.1.1", "dns"}, true, serving,
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StdoutCapture quiet;
        EXPECT_EQ(firstRefusal(c.entries, c.manual, c.dhcp), c.refusal);
    }
}
