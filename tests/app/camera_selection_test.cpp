// Selecting cameras: the fields and buttons below the list follow what the camera itself says.
#include <gtest/gtest.h>

#include "../camera/lab_support.h"
#include "app/camera_page_fixture.h"
#include "app/process_objects.h"

namespace {

class CameraSelection : public CameraPageTest {
protected:
    void expectFieldsSensitive(bool address, bool dns)
    {
        EXPECT_EQ(entry_camaddr->get_sensitive(), address);
        EXPECT_EQ(entry_camnetmask->get_sensitive(), address);
        EXPECT_EQ(entry_camgateway->get_sensitive(), address);
        EXPECT_EQ(entry_camdns->get_sensitive(), dns);
    }
};

TEST_F(CameraSelection, ConnectedDhcpCameraFillsItsOwnSettingsReadOnly)
{
    arriveAtCameraPage(true);
    select({cams::kDefault});

    EXPECT_EQ(entry_camaddr->get_text(), lab::address(cams::kDefault));
    EXPECT_EQ(entry_camnetmask->get_text(), lab::state(cams::kDefault, "s[\"live\"][\"netmask\"]"));
    EXPECT_EQ(entry_camgateway->get_text(), lab::state(cams::kDefault, "s[\"live\"][\"gateway\"]"));
    EXPECT_EQ(entry_camdns->get_text(), lab::state(cams::kDefault, "s[\"dns\"][\"primary\"]"));
    EXPECT_EQ(entry_camnetmask->get_text(), "255.255.255.0");
    EXPECT_TRUE(button_rb1_ipassign->get_active());
    expectFieldsSensitive(false, true);
    EXPECT_EQ(entry_camID->get_text(), "admin");
    EXPECT_TRUE(button_ipassign->get_sensitive());
    EXPECT_TRUE(button_open_register->get_sensitive());
    EXPECT_TRUE(grid_authenticate->get_visible());
    EXPECT_FALSE(grid_register->get_visible());
}

TEST_F(CameraSelection, StaticCameraGivesManualWithEveryFieldEditable)
{
    resetCamera(cams::kOwn);
    arriveAtCameraPage(true);
    connect({cams::kOwn}, "admin", lab::secret("Own-Pass-4711"));

    EXPECT_EQ(rowOf(cams::kOwn).status, "Connected");
    EXPECT_TRUE(button_rb2_ipassign->get_active());
    expectFieldsSensitive(true, true);
    EXPECT_EQ(entry_camaddr->get_text(), "192.168.1.64");
    EXPECT_EQ(entry_camgateway->get_text(), "192.168.1.1");
    EXPECT_EQ(entry_camdns->get_text(), "192.168.1.53");
    EXPECT_TRUE(button_ipassign->get_sensitive());
}

TEST_F(CameraSelection, TwoCamerasShowTheLastAndNoAddressAssignment)
{
    arriveAtCameraPage(true);
    select({cams::kDefault, cams::kMojibake});

    ASSERT_EQ(refTreeSelection->count_selected_rows(), 2);
    const std::vector<Gtk::TreeModel::Path> selected = refTreeSelection->get_selected_rows();
    const Gtk::TreeModel::Row last = *m_camRefTreeModel->get_iter(selected.back());
    EXPECT_EQ(entry_camaddr->get_text(), Glib::ustring(last[m_CameraColumns.IP]));
    EXPECT_FALSE(button_ipassign->get_sensitive());
    EXPECT_TRUE(button_open_register->get_sensitive());
}

TEST_F(CameraSelection, FactoryNewCameraShowsTheSetPasswordPanelWithoutCancel)
{
    resetCamera(cams::kFresh);
    arriveAtCameraPage(true);
    select({cams::kDefault});
    select({cams::kFresh});

    EXPECT_TRUE(grid_register->get_visible());
    EXPECT_FALSE(grid_authenticate->get_visible());
    EXPECT_FALSE(button_cancel_register->get_visible());
    EXPECT_EQ(button_change_password->get_label(), "Set Password");
    // Its requests are refused, so what the previous camera showed is gone.
    EXPECT_EQ(entry_camaddr->get_text(), "");
    EXPECT_EQ(entry_camnetmask->get_text(), "");
    EXPECT_EQ(entry_camgateway->get_text(), "");
    EXPECT_FALSE(button_ipassign->get_sensitive());
    EXPECT_FALSE(button_open_register->get_sensitive());
}

TEST_F(CameraSelection, RescanWithRowsSelectedResetsThePanel)
{
    resetCamera(cams::kFresh);
    arriveAtCameraPage(true);
    select({cams::kFresh});
    ASSERT_TRUE(grid_register->get_visible());
    entry_camPW->set_text(lab::secret("Typed-Not-Sent-1"));
    button_connect_cam->set_label("Connecting");

    rescan();
    EXPECT_TRUE(grid_authenticate->get_visible());
    EXPECT_FALSE(grid_register->get_visible());
    EXPECT_EQ(entry_camPW->get_text(), "");
    EXPECT_EQ(button_connect_cam->get_label(), "Connect");
    EXPECT_EQ(refTreeSelection->count_selected_rows(), 0);
}

}  // namespace
