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
};

const char* const kIp = "Please enter a valid IP";
const char* const kDns = "Please enter a valid DNS or leave blank";

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
};

void PrintTo(const ValidationCase& c, std::ostream* os) { *os << c.name; }

class ValidationTest : public ::testing::TestWithParam<ValidationCase> {};

TEST_P(ValidationTest, FirstFailingFieldInPageOrder)
{
    const ValidationCase& c = GetParam();
    const DhcpFieldCheck check =
        checkDhcpSettings(c.enabled, c.start, c.end, c.primary, c.secondary);
    EXPECT_EQ(check.field, c.field);
    EXPECT_EQ(check.trace, c.trace);
    EXPECT_EQ(check.message, c.message);
}

INSTANTIATE_TEST_SUITE_P(Page, ValidationTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
