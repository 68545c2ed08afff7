// The IP assignment dialog against the lab's cameras: what it refuses, and what a camera does
// after Apply (its own address, mode, DNS server and lease).
#include <gtest/gtest.h>

#include <functional>

#include "../camera/lab_support.h"
#include "app/camera_page_fixture.h"
#include "app/process_objects.h"
#include "camera/address_entries.h"
#include "camera/camera_requests.h"
#include "support/stdout_capture.h"
#include "utils/address.h"

namespace {

constexpr const char* kStatic = "192.168.1.70";

class IpAssign : public CameraPageTest {
protected:
    // Presses "IP Assign" and, once the dialog shows, runs what the test does inside it; a dialog
    // that never shows leaves `opened` false.
    bool inDialog(const std::function<void()>& act)
    {
        bool opened = false;
        sigc::connection watch = Glib::signal_timeout().connect(
            [&]() {
                if (!dialog_ipassign->get_visible())
                    return true;
                opened = true;
                act();
                if (dialog_ipassign->get_visible())
                    button_cancel_ipassign->clicked();
                return false;
            },
            10);
        // A press that opens nothing returns at once; the watcher must not outlive this call.
        button_ipassign->clicked();
        watch.disconnect();
        return opened;
    }

    static void type(bool manual, const AddressEntries& entries)
    {
        (manual ? button_rb2_ipassign : button_rb1_ipassign)->set_active(true);
        entry_camaddr->set_text(entries.address);
        entry_camnetmask->set_text(entries.mask);
        entry_camgateway->set_text(entries.gateway);
        entry_camdns->set_text(entries.dns);
    }

    std::vector<std::string> addressRequests(const std::string& camera, std::size_t since)
    {
        std::vector<std::string> sets;
        // A digest exchange logs the challenge first; the answered request is the one that counts.
        for (const std::string& line : lab::requestsSince(camera, since))
            if (line.find("action=set") != std::string::npos && line.find("\t401\t") == std::string::npos)
                sets.push_back(line);
        return sets;
    }
};

TEST_F(IpAssign, OpensOnlyForOneConnectedCamera)
{
    resetCamera(cams::kOwn);
    arriveAtCameraPage(true);
    select({cams::kOwn});  // its own password: not connected
    button_ipassign->set_sensitive(true);
    EXPECT_FALSE(inDialog([] {}));

    select({cams::kDefault, cams::kMojibake});
    button_ipassign->set_sensitive(true);
    EXPECT_FALSE(inDialog([] {}));
    EXPECT_FALSE(button_ipassign->get_sensitive());

    select({cams::kDefault});
    EXPECT_TRUE(inDialog([] {}));
}

TEST_F(IpAssign, ChecksInTheirOrderEachWithItsMessageAndNothingIsSent)
{
    arriveAtCameraPage(true);
    select({cams::kDefault});
    const std::size_t requests = lab::fileText(lab::cameraFile(cams::kDefault, "requests.log")).size();
    const std::string pool = "Please enter IP address out of DHCP range:\n"
                             "                192.168.1.120-192.168.1.180";
    struct Case {
        const char* name;
        bool manual;
        AddressEntries entries;
        std::string message;
    };
    const Case cases[] = {
        {"address", true, {"192.168.1.300", "255.255.255.0", "192.168.1.1", ""}, kInvalidAddress},
        {"address before mask", true, {"", "255.0", "", ""}, kInvalidAddress},
        {"pool start", true, {"192.168.1.120", "255.255.255.0", "192.168.1.1", ""}, pool},
        {"pool end", true, {"192.168.1.180", "255.255.255.0", "192.168.1.1", ""}, pool},
        {"pool before gateway", true, {"192.168.1.150", "255.255.255.0", "", ""}, pool},
        {"mask", true, {kStatic, "255.255.0", "192.168.1.1", ""}, kInvalidMask},
        {"mask not contiguous", true, {kStatic, "255.0.255.0", "192.168.1.1", ""}, kInvalidMask},
        {"mask not from the top", true, {kStatic, "1.2.3.4", "192.168.1.1", ""}, kInvalidMask},
        {"gateway", true, {kStatic, "255.255.255.0", "", ""}, kInvalidGateway},
        {"DHCP still needs a gateway", false, {kStatic, "255.255.255.0", "", ""}, kInvalidGateway},
        {"DHCP still needs a mask", false, {kStatic, "", "192.168.1.1", ""}, kInvalidMask},
    };
    const bool opened = inDialog([&] {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            type(c.manual, c.entries);
            button_apply_ipassign->clicked();
            EXPECT_EQ(label_ipassignerror->get_text(), c.message);
            EXPECT_TRUE(dialog_ipassign->get_visible());
        }
        // Manual keeps a message, DHCP clears it.
        button_rb2_ipassign->set_active(true);
        EXPECT_EQ(label_ipassignerror->get_text(), kInvalidMask);
        button_rb1_ipassign->set_active(true);
        EXPECT_EQ(label_ipassignerror->get_text(), "");
    });
    ASSERT_TRUE(opened);
    EXPECT_EQ(addressRequests(cams::kDefault, requests), std::vector<std::string>{});
    EXPECT_EQ(rowOf(cams::kDefault).mode, "DHCP");
}

TEST_F(IpAssign, CancelPutsBackTheCamerasOwnValues)
{
    arriveAtCameraPage(true);
    select({cams::kDefault});
    const std::string address = entry_camaddr->get_text();
    const std::string gateway = entry_camgateway->get_text();
    ASSERT_TRUE(inDialog([] {
        type(true, {"192.168.1.99", "255.255.0.0", "192.168.1.254", "192.168.1.99"});
        button_cancel_ipassign->clicked();
    }));
    EXPECT_FALSE(dialog_ipassign->get_visible());
    EXPECT_EQ(entry_camaddr->get_text(), address);
    EXPECT_EQ(entry_camnetmask->get_text(), "255.255.255.0");
    EXPECT_EQ(entry_camgateway->get_text(), gateway);
    EXPECT_TRUE(button_rb1_ipassign->get_active());
}

TEST_F(IpAssign, ManualMovesTheCameraWithItsDnsThenDhcpBringsItBackIntoThePool)
{
    resetCamera(cams::kDefault);
    arriveAtCameraPage(true);
    select({cams::kDefault});
    const std::string old = lab::address(cams::kDefault);
    const std::size_t requests = lab::fileText(lab::cameraFile(cams::kDefault, "requests.log")).size();

    ASSERT_TRUE(inDialog([] {
        type(true, {kStatic, "255.255.255.0", "192.168.1.1", "192.168.1.53"});
        button_apply_ipassign->clicked();
    }));
    EXPECT_FALSE(dialog_ipassign->get_visible());
    EXPECT_EQ(rowOf(cams::kDefault).ip, kStatic);
    EXPECT_EQ(rowOf(cams::kDefault).mode, "Static");

    // The camera's own state: the new address, no longer the old one, and the DNS server typed.
    EXPECT_TRUE(lab::waitUntil([] { return lab::address(cams::kDefault) == kStatic; }));
    EXPECT_EQ(lab::state(cams::kDefault, "s[\"mode\"]"), "Manual");
    EXPECT_EQ(lab::state(cams::kDefault, "s[\"dns\"][\"primary\"]"), "192.168.1.53");
    {
        StdoutCapture quiet;
        EXPECT_EQ(getCorvexData(kDeviceInfoView, kStatic, "admin", "7395").code, 200);
        EXPECT_EQ(getCorvexData(kDeviceInfoView, old, "admin", "7395").code, 0);
    }
    // The DNS server went to the address the camera had, before the address request.
    const std::vector<std::string> sets = addressRequests(cams::kDefault, requests);
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_NE(sets[0].find("msubmenu=dns&action=set&PrimaryDNS=192.168.1.53"), std::string::npos) << sets[0];
    EXPECT_NE(sets[1].find("IPv4Type=Manual&IPv4Address=192.168.1.70&IPv4PrefixLength=24&IPv4Gateway=192.168.1.1"),
              std::string::npos)
        << sets[1];

    // Back to DHCP: the row's address is the one the camera answers at now.
    select({cams::kDefault});
    EXPECT_TRUE(button_rb2_ipassign->get_active());
    ASSERT_TRUE(inDialog([] {
        type(false, {kStatic, "255.255.255.0", "192.168.1.1", ""});
        button_apply_ipassign->clicked();
    }));
    EXPECT_EQ(rowOf(cams::kDefault).mode, "DHCP");
    EXPECT_TRUE(lab::waitUntil([] {
        const std::string leased = lab::address(cams::kDefault);
        return !leased.empty() && leased != kStatic &&
               Utils::IPToUInt(leased) >= Utils::IPToUInt("192.168.1.120") &&
               Utils::IPToUInt(leased) <= Utils::IPToUInt("192.168.1.180");
    })) << "no lease from the recorder's pool: " << lab::address(cams::kDefault);
    EXPECT_EQ(lab::state(cams::kDefault, "s[\"mode\"]"), "DHCP");
}

TEST_F(IpAssign, ARefusedRequestLeavesTheRowAndClosesTheDialog)
{
    resetCamera(cams::kDefault);
    arriveAtCameraPage(true);
    select({cams::kDefault});
    const ListRow before = rowOf(cams::kDefault);

    // A gateway outside the camera's new network: the camera refuses the whole change.
    ASSERT_TRUE(inDialog([] {
        type(true, {kStatic, "255.255.255.0", "10.9.9.9", ""});
        button_apply_ipassign->clicked();
        EXPECT_FALSE(dialog_ipassign->get_visible());
    }));
    EXPECT_EQ(rowOf(cams::kDefault).ip, before.ip);
    EXPECT_EQ(rowOf(cams::kDefault).mode, "DHCP");
    EXPECT_EQ(lab::state(cams::kDefault, "s[\"mode\"]"), "DHCP");
    EXPECT_EQ(lab::address(cams::kDefault), before.ip);
}

}  // namespace
