// Window tests of the camera page, run inside the camera lab as the recorder's program: the
// whole window with every handler connected as at start-up, against the lab's cameras.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/gui_fixture.h"
#include "network/NetworkConfig.h"

// The cameras of camera_page_cameras.json.
namespace cams {
inline const char* const kFresh = "fresh";      // factory-new, DHCP
inline const char* const kFresh2 = "fresh2";    // factory-new, DHCP
inline const char* const kDefault = "dflt";     // admin with the factory password, DHCP
inline const char* const kOwn = "own";          // admin and operator with passwords of their own, static
inline const char* const kOkLine = "okline";    // answers a password change with "OK" and a line end
inline const char* const kNoHttp = "nohttp";    // answers discovery only
inline const char* const kMojibake = "mojibake";  // its model text ends in bytes that are not UTF-8
inline const std::vector<std::string> kAll = {kFresh, kFresh2, kDefault, kOwn, kOkLine, kNoHttp, kMojibake};
}  // namespace cams

// One row of the camera list as text.
struct ListRow {
    int number;
    std::string model, status, mode, ip, mac, firmware, user, password, tooltip;
};

class CameraPageTest : public GuiTest {
protected:
    void SetUp() override;

    // Next and Yes from the network page, with the DHCP server switched on or off; the countdown
    // runs out as soon as every camera has rebooted and has an address (when DHCP serves).
    void arriveAtCameraPage(bool dhcpOn = true);
    // Rescan, with its countdown driven to the scan at once.
    void rescan();
    // Drives the countdown of the next progress dialog to the scan, after a power cycle only
    // once every camera has rebooted (and has an address, while DHCP serves).
    void driveCountdownWhenShown(bool afterPowerCycle);

    std::vector<ListRow> rows() const;
    // The row of a camera, found by its MAC; fails the test when there is none.
    ListRow rowOf(const std::string& camera) const;
    void select(const std::vector<std::string>& cameras);
    // Selects the cameras, types the ID and password and presses Connect.
    void connect(const std::vector<std::string>& cameras, const std::string& user, const std::string& password);

    // Puts a camera back into its configured factory state, accounts and address included.
    static void resetCamera(const std::string& camera);

    NetworkConfig nc{"eth1", "eth0"};
    std::size_t poeLogStart = 0;
};

// The lab's files, and the part of one written since a point.
std::string labFile(const std::string& relative);
std::string linesSince(const std::string& relative, std::size_t start);
std::size_t sizeOf(const std::string& relative);
// How long one log of each camera (events.log, discovery.log, ...) is now, in the order of cams::kAll.
std::vector<std::size_t> cameraLogSizes(const std::string& log);
