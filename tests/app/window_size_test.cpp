// The recorder's screen is 1024x600: the main window and every dialog must fit it whatever the
// camera page shows.
#include <algorithm>
#include <memory>
#include <string>

#include "app/gui_fixture.h"
#include "app/navigation.h"
#include "app/process_objects.h"
#include "app/save_record.h"
#include "camera/connect_panel.h"

namespace {

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 600;
constexpr int kManyCameras = 40;

class WindowSizeTest : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        for (int i = 1; i <= kManyCameras; ++i) {
            Gtk::TreeModel::Row row = *m_camRefTreeModel->append();
            row[m_CameraColumns.c1] = i;
            row[m_CameraColumns.model] = "LAB-DOME-5100 Outdoor Vandal-Proof";
            row[m_CameraColumns.status] = "Need Password";
            row[m_CameraColumns.Mode] = "Static";
            row[m_CameraColumns.IP] = "192.168.100." + std::to_string(100 + i);
            row[m_CameraColumns.MAC] = "AA:BB:CC:DD:EE:" + std::to_string(10 + i);
            row[m_CameraColumns.Firmware] = "V5.5.800 build 210628";
        }
        window_main->show();
        run_until([] { return window_main->get_mapped(); });
    }

    void TearDown() override { window_main->hide(); }

    // What the window's content asks for at the width it gets (a window without resize handles
    // takes its natural width), and the size the window has. The test display is larger than
    // the screen, so nothing clips what is measured.
    static std::pair<int, int> measured(Gtk::Window* window)
    {
        int width = 0, height = 0;
        window->get_size(width, height);
        Gtk::Widget* content = window->get_child();
        int minimumWidth = 0, naturalWidth = 0;
        content->get_preferred_width(minimumWidth, naturalWidth);
        const int given = std::max(window->get_resizable() ? minimumWidth : naturalWidth, width);
        int minimumHeight = 0, naturalHeight = 0;
        content->get_preferred_height_for_width(given, minimumHeight, naturalHeight);
        const int asked = window->get_resizable() ? minimumHeight : naturalHeight;
        return {std::max(width, given), std::max(height, asked)};
    }

    // A wrapped text asks for its height only once it has been laid out at its width, so the
    // layout may take a few rounds of the main loop to settle.
    static void expectFits(Gtk::Window* window, const std::string& what)
    {
        window->queue_resize();
        const auto fits = [window] {
            const auto [width, height] = measured(window);
            return width <= kScreenWidth && height <= kScreenHeight;
        };
        run_until(fits, std::chrono::seconds(10));
        const auto [width, height] = measured(window);
        EXPECT_LE(width, kScreenWidth) << what;
        EXPECT_LE(height, kScreenHeight) << what;
    }
};

}  // namespace

TEST_F(WindowSizeTest, CameraPageWithFortyRowsFitsTheScreenWithEveryPanel)
{
    stack_main->set_visible_child(*stack_main->get_children()[kCameraPage]);
    const std::string longMessage = "Could not save cameras-nvr-lobby.site.example-2026-12-10-1432.pdf in "
                                    "/media/root/A-VERY-LONG-USB-STICK-LABEL/installations/2026/december "
                                    "(cannot write: No space left on device).";
    for (const int mode : {kAuthenticateMode, kSetPasswordMode, kChangePasswordMode}) {
        switch_grid(mode);
        label_change_pw_error->set_text("");
        label_record->set_text("");
        expectFits(window_main, "panel " + std::to_string(mode));
        // The password error and the record's message both shown.
        label_change_pw_error->set_text("The password must be 8 to 25 characters long and use letters, digits and signs.");
        label_record->set_text(longMessage);
        expectFits(window_main, "panel " + std::to_string(mode) + " with messages");
    }
}

TEST_F(WindowSizeTest, EveryPageFitsTheScreen)
{
    label_record_final->set_text("Saved cameras-nvr-2026-12-10-1432.csv and cameras-nvr-2026-12-10-1432.pdf in "
                                 "/media/root/A-VERY-LONG-USB-STICK-LABEL/installations/2026/december.");
    for (Gtk::Widget* page : stack_main->get_children()) {
        stack_main->set_visible_child(*page);
        expectFits(window_main, "page " + stack_main->child_property_name(*page).get_value());
    }
}

TEST_F(WindowSizeTest, EveryDialogFitsTheScreen)
{
    for (Gtk::Dialog* dialog : {dialog_ipassign, dialog_apply, dialog_quit, dialog_progress, dialog_asking,
                                dialog_find_ports, dialog_find_ports_progress}) {
        dialog->show();
        expectFits(dialog, gtk_buildable_get_name(GTK_BUILDABLE(dialog->gobj())));
        dialog->hide();
    }
    std::unique_ptr<Gtk::FileChooserDialog> chooser = make_record_folder_chooser();
    chooser->show();
    run_until([&chooser] { return chooser->get_mapped(); });
    expectFits(chooser.get(), "the record's folder chooser");
    chooser->hide();
}
