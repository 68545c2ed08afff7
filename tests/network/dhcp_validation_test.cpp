// The order of the network page's checks and the words of each error.
#include <gtest/gtest.h>

#include "network/dhcp_validation.h"

namespace {

using Field = DhcpFieldCheck::Field;

struct ValidationCase {
    const char* name;
    bool enabled;
    const char *start, *end, *primary, *secondary;
    Field field;
    const char *trace, *message;
    const char* camera = "";   // the camera interface's address and netmask
    const char* netmask = "";
};

const char* const kIp = "Please enter a valid IP";
const char* const kDns = "Please enter a valid DNS or leave blank";
const char* const kOutside = "ip outside the camera subnet";

const ValidationCase kCases[] = {
    {"OffAcceptsAnything", false, "x", "y", "z", "w", Field::None, "", ""},
    {"AllValid", true, "192.168.1.100", "192.168.1.200", "8.8.8.8", "8.8.4.4", Field::None, "", ""},
    {"DnsLeftBlank", true, "192.168.1.100", "192.168.1.200", "", "", Field::None, "", ""},
    {"SecondaryOnly", true, "192.168.1.100", "192.168.1.200", "", "0.0.0.0", Field::None, "", ""},
    {"StartStillThePrefix", true, "192.168.1.", "192.168.1.200", "", "", Field::StartIp,
     "invalid ip", kIp},
    {"StartBeforeEnd", true, "192.168.1.", "192.168.1.", "", "", Field::StartIp, "invalid ip", kIp},
    {"EndInvalid", true, "192.168.1.100", "192.168.1.256", "", "", Field::EndIp, "invalid ip", kIp},
    {"EndBeforeDns", true, "192.168.1.100", "", "x", "x", Field::EndIp, "invalid ip", kIp},
    {"PrimaryBlankIsNotEmpty", true, "192.168.1.100", "192.168.1.200", " ", "", Field::PrimaryDns,
     "invalid dns1", kDns},
    {"PrimaryBeforeSecondary", true, "192.168.1.100", "192.168.1.200", "8.8.8", "8.8",
     Field::PrimaryDns,
     "invalid dns1", kDns},
    {"SecondaryInvalid", true, "192.168.1.100", "192.168.1.200", "8.8.8.8", "8.8.4.4 ",
     Field::SecondaryDns, "invalid dns2", kDns},
    // The pool against the camera interface's subnet.
    {"PoolInsideTheSubnet", true, "192.168.1.100", "192.168.1.200", "", "", Field::None, "", "",
     "192.168.1.1", "255.255.255.0"},
    {"StartInTheNeighbouringSubnet", true, "192.168.2.100", "192.168.1.200", "", "",
     Field::StartIp, kOutside, kIp, "192.168.1.1", "255.255.255.0"},
    {"EndInTheNeighbouringSubnet", true, "192.168.1.100", "192.168.2.200", "8.8", "", Field::EndIp,
     kOutside, kIp, "192.168.1.1", "255.255.255.0"},
    {"StartOutsideBeforeEndSyntax", true, "10.0.0.5", "192.168.1.", "", "", Field::StartIp,
     kOutside, kIp, "192.168.1.1", "255.255.255.0"},
    {"NarrowNetmask", true, "192.168.1.10", "192.168.1.200", "", "", Field::EndIp, kOutside, kIp,
     "192.168.1.1", "255.255.255.128"},
    {"WideNetmaskTakesTheNextBlock", true, "192.168.2.100", "192.168.3.200", "", "", Field::None,
     "", "", "192.168.1.1", "255.255.0.0"},
    {"NoValidNetmaskTakesTheClassMask", true, "10.200.0.1", "11.0.0.1", "", "", Field::EndIp,
     kOutside, kIp, "10.1.2.3", "255.0.255.0"},
    {"NoCameraAddressChecksOnlySyntax", true, "172.16.0.1", "10.0.0.1", "", "", Field::None, "", "",
     "0.0.0.0", ""},
    {"NoCameraAddressEvenWithANetmask", true, "192.168.1.100", "192.168.1.200", "", "", Field::None,
     "", "", "0.0.0.0", "255.255.255.0"},
    {"OffChecksNoSubnet", false, "10.0.0.1", "10.0.0.2", "", "", Field::None, "", "", "192.168.1.1",
     "255.255.255.0"},
};

void PrintTo(const ValidationCase& c, std::ostream* os) { *os << c.name; }

class ValidationTest : public ::testing::TestWithParam<ValidationCase> {};

TEST_P(ValidationTest, FirstFailingFieldInPageOrder)
{
    const ValidationCase& c = GetParam();
    const DhcpFieldCheck check =
        checkDhcpSettings(c.enabled, c.start, c.end, c.primary, c.secondary, c.camera, c.netmask);
    EXPECT_EQ(check.field, c.field);
    EXPECT_EQ(check.trace, c.trace);
    EXPECT_EQ(check.message, c.message);
}

INSTANTIATE_TEST_SUITE_P(Page, ValidationTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
