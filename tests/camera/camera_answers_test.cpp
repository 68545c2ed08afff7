#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "camera/camera_answers.h"
#include "camera/password_rules.h"

using Text = std::optional<std::string>;

TEST(ReadDeviceInfo, AcceptedOnlyWith200AndTheLastFirmwareWins)
{
    struct Case {
        const char* name;
        corvexPacket answer;
        bool accepted;
        Text firmware;
    };
    const Case cases[] = {
        {"accepted", {"Model=LAB-IPC-3200\nFirmwareVersion=2.14.3\n", 200}, true, "2.14.3"},
        {"twice", {"FirmwareVersion=1.0\nFirmwareVersion=1.1\n", 200}, true, "1.1"},
        {"without firmware", {"Model=LAB-IPC-3200\n", 200}, true, std::nullopt},
        {"refused", {"FirmwareVersion=2.14.3\n", 401}, false, std::nullopt},
        {"no answer", {"", 0}, false, std::nullopt},
        {"other success code", {"FirmwareVersion=2.14.3\n", 204}, false, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DeviceInfo info = readDeviceInfo(c.answer);
        EXPECT_EQ(info.accepted, c.accepted);
        EXPECT_EQ(info.firmware, c.firmware);
    }
}

TEST(ReadAddressSettings, MaskAndGatewayFromTheInterfaceDnsFromItsOwnView)
{
    struct Case {
        const char* name;
        std::string interfaceBody;
        std::string dnsBody;
        Text netmask, gateway, dns;
    };
    const Case cases[] = {
        {"all", "IPv4Type=DHCP\nIPv4SubnetMask=255.255.255.0\nIPv4Gateway=192.168.1.1\n",
         "PrimaryDNS=192.168.1.53\nSecondaryDNS=\n", "255.255.255.0", "192.168.1.1", "192.168.1.53"},
        {"empty values", "IPv4SubnetMask=\nIPv4Gateway=\n", "PrimaryDNS=\n", "", "", ""},
        {"missing keys", "IPv4Type=DHCP\n", "", std::nullopt, std::nullopt, std::nullopt},
        // The DNS view's keys are not read from the interface view, nor the other way round.
        {"keys in the wrong view", "PrimaryDNS=10.0.0.1\n", "IPv4Gateway=10.0.0.1\n", std::nullopt,
         std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const AddressSettings settings = readAddressSettings(c.interfaceBody, c.dnsBody);
        EXPECT_EQ(settings.netmask, c.netmask);
        EXPECT_EQ(settings.gateway, c.gateway);
        EXPECT_EQ(settings.dns, c.dns);
    }
}

TEST(PasswordChangeAccepted, ExactlyOkWith200)
{
    struct Case {
        corvexPacket answer;
        bool accepted;
    };
    const Case cases[] = {
        {{"OK", 200}, true},       {{"OK\n", 200}, false}, {{"OK\r\n", 200}, false},
        {{" OK", 200}, false},     {{"ok", 200}, false},   {{"OK", 400}, false},
        {{"", 200}, false},        {{"", 0}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(passwordChangeAccepted(c.answer), c.accepted)
            << testing::PrintToString(c.answer.body) << " " << c.answer.code;
}

TEST(CheckNewPassword, BothTypedAndEqualNothingElse)
{
    struct Case {
        std::string password, confirmation;
        NewPasswordCheck check;
    };
    const Case cases[] = {
        {"", "", NewPasswordCheck::Empty},
        {"New-Pass-1", "", NewPasswordCheck::Empty},
        {"", "New-Pass-1", NewPasswordCheck::Empty},
        {"New-Pass-1", "New-Pass-2", NewPasswordCheck::Mismatch},
        {"New-Pass-1", "new-pass-1", NewPasswordCheck::Mismatch},
        {"New-Pass-1", "New-Pass-1 ", NewPasswordCheck::Mismatch},
        {"New-Pass-1", "New-Pass-1", NewPasswordCheck::Accepted},
        // The cameras' own rules (length, character kinds, runs) are theirs to apply.
        {"1111", "1111", NewPasswordCheck::Accepted},
    };
    for (const Case& c : cases)
        EXPECT_EQ(checkNewPassword(c.password, c.confirmation), c.check)
            << "'" << c.password << "' / '" << c.confirmation << "'";
}
