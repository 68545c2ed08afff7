#include <gtest/gtest.h>

#include <string>

#include "camera/static_address_check.h"
#include "support/stdout_capture.h"

namespace {

struct CheckCase {
    const char* recorder;
    const char* mask;
    const char* poolStart;
    const char* poolEnd;
    const char* address;
    bool usable;
};

std::string describe(const CheckCase& c)
{
    return std::string(c.address) + " for recorder " + c.recorder + "/" + c.mask + ", pool " + c.poolStart +
           " - " + c.poolEnd;
}

// Runs the check with its traces kept back, so the test output stays quiet.
bool check(const CheckCase& c, std::string* trace = nullptr)
{
    StdoutCapture out;
    const bool usable = isStaticOutOfDhcpRange(c.recorder, c.address, c.mask, c.poolStart, c.poolEnd);
    const std::string text = out.finish(false);
    if (trace)
        *trace = text;
    return usable;
}

}  // namespace

TEST(StaticAddressCheck, RefusesThePoolAndOtherNetworksForClassesAToC)
{
    const CheckCase cases[] = {
        // Class A private, /24, then a pool spanning an octet boundary on a wider mask.
        {"10.1.2.1", "255.255.255.0", "10.1.2.100", "10.1.2.200", "10.1.2.50", true},
        {"10.1.2.1", "255.255.255.0", "10.1.2.100", "10.1.2.200", "10.1.2.150", false},
        {"10.1.2.1", "255.255.255.0", "10.1.2.100", "10.1.2.200", "10.1.2.100", false},
        {"10.1.2.1", "255.255.255.0", "10.1.2.100", "10.1.2.200", "10.1.2.200", false},
        {"10.1.2.1", "255.255.255.0", "10.1.2.100", "10.1.2.200", "10.1.2.99", true},
        {"10.1.2.1", "255.255.255.0", "10.1.2.100", "10.1.2.200", "10.1.2.201", true},
        {"10.1.2.1", "255.255.255.0", "10.1.2.100", "10.1.2.200", "10.1.3.50", false},
        {"10.1.2.1", "255.255.255.0", "10.1.2.100", "10.1.2.200", "11.1.2.50", false},
        {"10.1.2.1", "255.255.255.0", "10.1.2.200", "10.1.2.100", "10.1.2.150", true},
        {"10.1.2.1", "255.255.0.0", "10.1.2.200", "10.1.3.20", "10.1.2.250", false},
        {"10.1.2.1", "255.255.0.0", "10.1.2.200", "10.1.3.20", "10.1.3.10", false},
        {"10.1.2.1", "255.255.0.0", "10.1.2.200", "10.1.3.20", "10.1.2.200", false},
        {"10.1.2.1", "255.255.0.0", "10.1.2.200", "10.1.3.20", "10.1.3.20", false},
        {"10.1.2.1", "255.255.0.0", "10.1.2.200", "10.1.3.20", "10.1.2.199", true},
        {"10.1.2.1", "255.255.0.0", "10.1.2.200", "10.1.3.20", "10.1.3.21", true},
        {"10.1.2.1", "255.255.0.0", "10.1.2.200", "10.1.3.20", "10.1.200.5", true},
        {"10.1.2.1", "255.255.0.0", "10.1.2.200", "10.1.3.20", "10.2.0.1", false},
        {"10.1.2.1", "255.0.0.0", "10.1.2.100", "10.1.2.200", "10.200.1.1", true},
        // Class B private, /24 and /20.
        {"172.16.5.1", "255.255.255.0", "172.16.5.100", "172.16.5.200", "172.16.5.20", true},
        {"172.16.5.1", "255.255.255.0", "172.16.5.100", "172.16.5.200", "172.16.5.120", false},
        {"172.16.5.1", "255.255.255.0", "172.16.5.100", "172.16.5.200", "172.16.6.20", false},
        {"172.16.5.1", "255.255.255.0", "172.16.5.200", "172.16.5.100", "172.16.5.120", true},
        {"172.16.5.1", "255.255.240.0", "172.16.5.100", "172.16.5.200", "172.16.9.150", true},
        {"172.16.5.1", "255.255.240.0", "172.16.5.100", "172.16.5.200", "172.16.5.150", false},
        {"172.16.5.1", "255.255.240.0", "172.16.5.100", "172.16.5.200", "172.16.16.1", false},
        {"172.16.5.1", "255.255.240.0", "172.16.4.250", "172.16.6.5", "172.16.5.1", false},
        {"172.16.5.1", "255.255.240.0", "172.16.4.250", "172.16.6.5", "172.16.6.6", true},
        // Class C private: every address of the network outside the pool is usable.
        {"192.168.1.1", "255.255.255.0", "192.168.1.100", "192.168.1.200", "192.168.1.50", true},
        {"192.168.1.1", "255.255.255.0", "192.168.1.100", "192.168.1.200", "192.168.1.201", true},
        {"192.168.1.1", "255.255.255.0", "192.168.1.100", "192.168.1.200", "192.168.1.150", false},
        {"192.168.1.1", "255.255.255.0", "192.168.1.100", "192.168.1.200", "192.168.1.100", false},
        {"192.168.1.1", "255.255.255.0", "192.168.1.100", "192.168.1.200", "192.168.1.200", false},
        {"192.168.1.1", "255.255.255.0", "192.168.1.100", "192.168.1.200", "192.168.2.50", false},
        {"192.168.1.1", "255.255.255.0", "192.168.1.200", "192.168.1.100", "192.168.1.150", true},
        {"192.168.1.1", "255.255.255.0", "192.168.1.200", "192.168.1.100", "192.168.1.250", true},
        {"192.168.1.1", "255.255.255.0", "192.168.2.100", "192.168.2.200", "192.168.1.150", true},
        {"192.168.0.1", "255.255.254.0", "192.168.0.200", "192.168.1.20", "192.168.0.250", false},
        {"192.168.0.1", "255.255.254.0", "192.168.0.200", "192.168.1.20", "192.168.1.10", false},
        {"192.168.0.1", "255.255.254.0", "192.168.0.200", "192.168.1.20", "192.168.1.100", true},
        {"192.168.0.1", "255.255.254.0", "192.168.0.200", "192.168.1.20", "192.168.0.100", true},
        {"192.168.0.1", "255.255.254.0", "192.168.0.200", "192.168.1.20", "192.168.2.5", false},
        {"192.168.1.1", "255.255.255.192", "192.168.1.10", "192.168.1.40", "192.168.1.50", true},
        {"192.168.1.1", "255.255.255.192", "192.168.1.10", "192.168.1.40", "192.168.1.70", false},
        // Public classes A, B, C and the loopback block take the same rules.
        {"100.64.0.1", "255.255.0.0", "100.64.1.1", "100.64.1.250", "100.64.1.7", false},
        {"100.64.0.1", "255.255.0.0", "100.64.1.1", "100.64.1.250", "100.64.2.7", true},
        {"150.1.0.1", "255.255.0.0", "150.1.0.100", "150.1.0.200", "150.1.0.150", false},
        {"150.1.0.1", "255.255.0.0", "150.1.0.100", "150.1.0.200", "150.1.3.150", true},
        {"200.1.1.1", "255.255.255.0", "200.1.1.100", "200.1.1.200", "200.1.1.150", false},
        {"200.1.1.1", "255.255.255.0", "200.1.1.100", "200.1.1.200", "200.1.1.50", true},
        {"127.0.0.1", "255.0.0.0", "127.0.0.100", "127.0.0.200", "127.0.0.150", false},
        {"127.0.0.1", "255.0.0.0", "127.0.0.100", "127.0.0.200", "127.0.1.150", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(check(c), c.usable) << describe(c);
}

TEST(StaticAddressCheck, EveryHostOfTheNetworkOutsideThePoolAndNoneInside)
{
    struct Network { const char* recorder; const char* mask; const char* prefix; const char* otherPrefix; };
    const Network networks[] = {
        {"10.1.2.1", "255.255.255.0", "10.1.2.", "10.1.3."},
        {"172.16.5.1", "255.255.255.0", "172.16.5.", "172.16.4."},
        {"192.168.1.1", "255.255.255.0", "192.168.1.", "192.168.0."},
    };
    constexpr int kFirst = 100, kLast = 200;
    for (const auto& n : networks) {
        const std::string start = n.prefix + std::to_string(kFirst), end = n.prefix + std::to_string(kLast);
        for (int host = 1; host <= 254; ++host) {
            const std::string inside = n.prefix + std::to_string(host);
            const std::string outside = n.otherPrefix + std::to_string(host);
            const bool inPool = host >= kFirst && host <= kLast;
            EXPECT_EQ(check({n.recorder, n.mask, start.c_str(), end.c_str(), inside.c_str(), true}), !inPool)
                << inside;
            EXPECT_FALSE(check({n.recorder, n.mask, start.c_str(), end.c_str(), outside.c_str(), true}))
                << outside;
        }
    }
}

TEST(StaticAddressCheck, ClassesDAndERefusedWithTheirTraces)
{
    struct Case { const char* recorder; const char* classLine; const char* reservedLine; };
    const Case cases[] = {
        {"224.0.0.1", "IP Class: D", "!! This is a reserved Class D Multicast IP Address Block"},
        {"239.1.2.1", "IP Class: D", "!! This is a reserved Class D Multicast IP Address Block"},
        {"240.0.0.1", "IP Class: E", "!! This is a reserved Class E Multicast IP Address Block"},
        {"255.255.255.1", "IP Class: E", "!! This is a reserved Class E Multicast IP Address Block"},
    };
    for (const auto& c : cases) {
        const std::string prefix = std::string(c.recorder).substr(0, std::string(c.recorder).rfind('.') + 1);
        const std::string address = prefix + "50", start = prefix + "100", end = prefix + "200";
        std::string trace;
        EXPECT_FALSE(check({c.recorder, "255.255.255.0", start.c_str(), end.c_str(), address.c_str(), false},
                           &trace))
            << c.recorder;
        EXPECT_NE(trace.find(std::string(c.classLine) + "\n" + c.reservedLine + "\n"), std::string::npos)
            << trace;
        EXPECT_EQ(trace.find("ipClass:"), std::string::npos) << trace;
    }
}

TEST(StaticAddressCheck, TextsThatDoNotParseAreRefused)
{
    const CheckCase good{"192.168.1.1", "255.255.255.0", "192.168.1.100", "192.168.1.200", "192.168.1.50", true};
    ASSERT_TRUE(check(good));
    const char* badAddresses[] = {"", "abc", "a.b.c.d", "192.168.1", "192.168.1.300", "192.168.1.50.7",
                                  "-1.168.1.50", "192.168.1.50 ", "192..1.50", "..."};
    const char* badMasks[] = {"", "255.0.255.0", "0.0.0.0", "255.255.255", "1.2.3.4", "255.255.255.0.0", "x"};
    for (const char* bad : badAddresses) {
        for (int field = 0; field < 4; ++field) {
            CheckCase c = good;
            const char** slot[] = {&c.recorder, &c.address, &c.poolStart, &c.poolEnd};
            *slot[field] = bad;
            std::string trace;
            EXPECT_FALSE(check(c, &trace)) << describe(c);
            EXPECT_NE(trace.find("Not a dotted address or subnet mask\n"), std::string::npos) << describe(c);
        }
    }
    for (const char* bad : badMasks) {
        CheckCase c = good;
        c.mask = bad;
        EXPECT_FALSE(check(c)) << describe(c);
    }
}

TEST(StaticAddressCheck, TracesItsWorking)
{
    std::string trace;
    EXPECT_TRUE(check({"10.1.2.1", "255.255.255.0", "10.1.2.100", "10.1.2.200", "10.1.2.50", true}, &trace));
    EXPECT_EQ(trace,
              "00001010.00000001.00000010.00000001  : IP Address\n"
              "11111111.11111111.11111111.00000000  : Subnet Mask\n"
              "-----------------------------------------\n"
              "IP Class: Private block, Class 'A' \n"
              "10.1.2.0 - [ usable hosts ] - 10.1.2.255\n\n"
              "Network Increment: 1\n"
              "Number of Subnets: 65536\n"
              "Usable hosts per subnet: 254\n"
              "ipClass:1 [i]:10\noctetsEndIP[i]:10\noctectsStart[i]:10\nIn Range!!!\n"
              "ipClass:1 [i]:1\noctetsEndIP[i]:1\noctectsStart[i]:1\nIn Range!!!\n"
              "ipClass:1 [i]:2\noctetsEndIP[i]:2\noctectsStart[i]:2\nIn Range!!!\n"
              "ipClass:1 [i]:50\noctetsEndIP[i]:200\noctectsStart[i]:100\nNot in Range!!!!\n");

    struct Case { CheckCase check; const char* lines; };
    const Case cases[] = {
        {{"192.168.1.1", "255.255.255.0", "192.168.1.100", "192.168.1.200", "192.168.1.150", false},
         "IP Class: Private block, Class 'C'\n"},
        {{"192.168.1.1", "255.255.255.0", "192.168.1.100", "192.168.1.200", "192.168.1.150", false},
         "ipClass:3 [i]:150\noctetsEndIP[i]:200\noctectsStart[i]:100\nIn Range!!!\n"},
        {{"192.168.1.1", "255.255.255.0", "192.168.1.100", "192.168.1.200", "192.168.2.50", false},
         "Not btwn min/max!\nnetidrange[]1---NetID[]1\n"},
        {{"172.16.5.1", "255.255.240.0", "172.16.5.100", "172.16.5.200", "172.16.16.1", false},
         "IP Class: Private block, Class 'B'\n172.16.0.0 - [ usable hosts ] - 172.16.15.255\n\n"
         "Network Increment: 16\nNumber of Subnets: 16\nUsable hosts per subnet: 4094\n"
         "Not btwn min/max!\nnetidrange[]15---NetID[]0\n"},
        {{"10.1.2.1", "255.255.0.0", "10.1.2.200", "10.1.3.20", "10.1.2.250", false},
         "ipClass:1 [i]:250\noctetsEndIP[i]:20\noctectsStart[i]:200\nNot in Range!!!!\n"
         "In Range!!! (between pool start and end as whole addresses)\n"},
        {{"127.0.0.1", "255.0.0.0", "127.0.0.100", "127.0.0.200", "127.0.1.150", true},
         "IP Class: Reserved block, System Loopback Address\n"},
        {{"100.64.0.1", "255.255.0.0", "100.64.1.1", "100.64.1.250", "100.64.2.7", true}, "IP Class: A\n"},
        {{"150.1.0.1", "255.255.0.0", "150.1.0.100", "150.1.0.200", "150.1.3.150", true}, "IP Class: B\n"},
        {{"200.1.1.1", "255.255.255.0", "200.1.1.100", "200.1.1.200", "200.1.1.50", true}, "IP Class: C\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(check(c.check, &trace), c.check.usable) << describe(c.check);
        EXPECT_NE(trace.find(c.lines), std::string::npos) << describe(c.check) << "\n" << trace;
    }
}
