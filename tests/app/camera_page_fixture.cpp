#include "app/camera_page_fixture.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "../camera/lab_support.h"
#include "app/handlers.h"
#include "app/navigation.h"
#include "app/process_objects.h"
#include "app/scan_progress.h"
#include "network/dhcp_page.h"
#include "utils/command.h"

namespace {

constexpr const char* kPoolStart = "192.168.1.120";
constexpr const char* kPoolEnd = "192.168.1.180";
constexpr auto kCameraBoot = std::chrono::seconds(60);

// The cameras not yet powered off and on since the sizes were taken, or not yet up with an
// address (when DHCP serves); empty once all are back.
std::string camerasNotBack(const std::vector<std::size_t>& eventsAtStart, bool needAddress)
{
    std::string missing;
    for (std::size_t i = 0; i < cams::kAll.size(); ++i) {
        const std::string& camera = cams::kAll[i];
        const std::string events = lab::fileText(lab::cameraFile(camera, "events.log"));
        const std::string since = events.size() > eventsAtStart[i] ? events.substr(eventsAtStart[i]) : "";
        if (since.find("power: on after boot") == std::string::npos ||
            (needAddress && lab::address(camera).empty()))
            missing += " " + camera;
    }
    return missing;
}

}  // namespace

std::vector<std::size_t> cameraLogSizes(const std::string& log)
{
    std::vector<std::size_t> sizes;
    for (const std::string& camera : cams::kAll)
        sizes.push_back(lab::fileText(lab::cameraFile(camera, log)).size());
    return sizes;
}

std::string labFile(const std::string& relative)
{
    return lab::fileText(lab::labDir() + "/" + relative);
}

std::size_t sizeOf(const std::string& relative)
{
    struct stat info {};
    return stat((lab::labDir() + "/" + relative).c_str(), &info) == 0 ? static_cast<std::size_t>(info.st_size) : 0;
}

std::string linesSince(const std::string& relative, std::size_t start)
{
    const std::string text = labFile(relative);
    return start < text.size() ? text.substr(start) : std::string();
}

void CameraPageTest::SetUp()
{
    GuiTest::SetUp();
    firstPage = finalPage = stopScan = false;
    init_dhcp(nc);
    init_networkConfig(nc);
    init_label_menu();
    connect_handlers(nc);
    window_main->show();
    pump_events();
    poeLogStart = sizeOf("poe.log");
}

void CameraPageTest::driveCountdownWhenShown(bool afterPowerCycle)
{
    const std::vector<std::size_t> eventsAtStart = cameraLogSizes("events.log");
    const bool dhcpOn = switch_dhcp->get_active();
    const std::string broadcast = nc.network1.broadcast;
    Glib::signal_timeout().connect(
        [eventsAtStart, afterPowerCycle, dhcpOn, broadcast]() {
            if (!dialog_progress->get_visible())
                return true;
            // The test ticks instead of the timer; the cameras' minute is waited for by condition.
            m_connection_timeout.disconnect();
            if (afterPowerCycle && !lab::waitUntil([&] { return camerasNotBack(eventsAtStart, dhcpOn).empty(); },
                                                   kCameraBoot))
                ADD_FAILURE() << "not back after the power cycle:" << camerasNotBack(eventsAtStart, dhcpOn);
            while (on_progressbar_timeout(broadcast)) {
            }
            return false;
        },
        10);
}

void CameraPageTest::arriveAtCameraPage(bool dhcpOn)
{
    stack_main->set_visible_child(*stack_main->get_children().at(kNetworkPage));
    change_label_menu(stack_main->get_children().at(kNetworkPage), nc);
    switch_dhcp->set_active(dhcpOn);
    if (dhcpOn) {
        entry_startip->set_text(kPoolStart);
        entry_endip->set_text(kPoolEnd);
    }
    driveCountdownWhenShown(true);
    on_button_apply_yes_clicked(nc);
    ASSERT_EQ(stack_main->child_property_position(*stack_main->get_visible_child()), kCameraPage);
    ASSERT_FALSE(dialog_progress->get_visible());
}

void CameraPageTest::rescan()
{
    driveCountdownWhenShown(false);
    button_rescan->clicked();
    ASSERT_FALSE(dialog_progress->get_visible());
}

std::vector<ListRow> CameraPageTest::rows() const
{
    std::vector<ListRow> all;
    for (const Gtk::TreeModel::Row& row : m_camRefTreeModel->children()) {
        ListRow r;
        r.number = row[m_CameraColumns.c1];
        r.model = Glib::ustring(row[m_CameraColumns.model]).raw();
        r.status = Glib::ustring(row[m_CameraColumns.status]).raw();
        r.mode = Glib::ustring(row[m_CameraColumns.Mode]).raw();
        r.ip = Glib::ustring(row[m_CameraColumns.IP]).raw();
        r.mac = Glib::ustring(row[m_CameraColumns.MAC]).raw();
        r.firmware = Glib::ustring(row[m_CameraColumns.Firmware]).raw();
        r.user = Glib::ustring(row[m_CameraColumns.Username]).raw();
        r.password = Glib::ustring(row[m_CameraColumns.pw]).raw();
        r.tooltip = Glib::ustring(row[m_CameraColumns.tooltip]).raw();
        all.push_back(r);
    }
    return all;
}

ListRow CameraPageTest::rowOf(const std::string& camera) const
{
    const std::string mac = lab::state(camera, "s[\"mac\"]");
    for (const ListRow& row : rows())
        if (row.mac == mac)
            return row;
    ADD_FAILURE() << "no row for " << camera;
    return {};
}

void CameraPageTest::select(const std::vector<std::string>& cameras)
{
    refTreeSelection->unselect_all();
    for (const std::string& camera : cameras) {
        const std::string mac = lab::state(camera, "s[\"mac\"]");
        for (const Gtk::TreeModel::Row& row : m_camRefTreeModel->children())
            if (Glib::ustring(row[m_CameraColumns.MAC]).raw() == mac)
                refTreeSelection->select(row);
    }
}

void CameraPageTest::connect(const std::vector<std::string>& cameras, const std::string& user,
                             const std::string& password)
{
    select(cameras);
    entry_camID->set_text(user);
    entry_camPW->set_text(password);
    button_connect_cam->clicked();
}

void CameraPageTest::resetCamera(const std::string& camera)
{
    const char* labCommand = std::getenv("VELNOR_LAB");
    ASSERT_NE(labCommand, nullptr) << "run through lab session";
    const std::string oldPid = lab::state(camera, "s[\"pid\"]");
    int status = 0;
    Utils::execCommand(std::string(labCommand) + " camera " + camera + " reset >/dev/null 2>&1", status);
    ASSERT_EQ(status, 0) << "lab camera " << camera << " reset";
    // Up again and listening: only then does it hear the next power cycle.
    ASSERT_TRUE(lab::waitUntil([&] {
        return lab::state(camera, "s[\"pid\"]") != oldPid && lab::state(camera, "s[\"power\"]") == "on" &&
               lab::state(camera, "s[\"http_listening\"]") == "True";
    })) << camera << " did not come back after its reset";
}
