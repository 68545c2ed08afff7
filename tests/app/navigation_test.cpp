// Next and Back across the wizard's pages, the header's step marker, the confirmation and quit
// dialogs, with the dialogs answered by the test.
#include <memory>

#include "support/stdout_capture.h"
#include "app/gui_fixture.h"
#include "app/handlers.h"
#include "app/navigation.h"
#include "app/process_objects.h"
#include "app/scan_progress.h"
#include "network/dhcp_page.h"

namespace {

const Gdk::RGBA kOrange("#f5f579790000");
const Gdk::RGBA kWhite("#ffffff");

Gtk::Widget* page(int index)
{
    return stack_main->get_children().at(index);
}

int currentPage()
{
    return stack_main->child_property_position(*stack_main->get_visible_child());
}

Gdk::RGBA colourOf(Gtk::Label* label)
{
    return label->get_style_context()->get_color(Gtk::STATE_FLAG_NORMAL);
}

class NavigationTest : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        firstPage = finalPage = false;
        connect_handlers(nc);
        init_networkConfig(nc);  // as start-up does: the page knows the camera interface
        init_label_menu();
        window_main->show();
        pump_events();
        // Arriving at the camera page counts down to a scan; these tests are about the pages.
        cancelScans = Glib::signal_timeout().connect(
            []() {
                if (dialog_progress->get_visible())
                    on_button_cancel_scan_clicked();
                return true;
            },
            10);
    }

    void TearDown() override { cancelScans.disconnect(); }

    // Puts the wizard on a page as if the installer had walked there.
    void goTo(int index)
    {
        stack_main->set_visible_child(*page(index));
        button_back->set_sensitive(index != kWelcomePage);
        change_label_menu(page(index), nc);
    }

    void next(Gtk::Button* answer)
    {
        answer_dialog_when_shown(dialog_apply, answer);
        on_button_apply_clicked(nc);
    }

    // Next that must not ask: a dialog shown anyway is counted and closed, so nothing hangs.
    void nextWithoutDialog()
    {
        auto shown = std::make_shared<bool>(false);
        auto watch = Glib::signal_timeout().connect(
            [shown]() {
                if (dialog_apply->get_visible()) {
                    *shown = true;
                    dialog_apply->hide();
                }
                return true;
            },
            10);
        on_button_apply_clicked(nc);
        pump_events();
        watch.disconnect();
        EXPECT_FALSE(*shown) << "Next asked for confirmation";
    }

    void expectHeader(int index)
    {
        EXPECT_EQ(colourOf(label_menu2), index == kNetworkPage ? kOrange : kWhite);
        EXPECT_EQ(colourOf(label_menu3), index == kCameraPage ? kOrange : kWhite);
        EXPECT_EQ(firstPage, index == kWelcomePage);
        EXPECT_EQ(finalPage, index == kFinalPage);
        EXPECT_EQ(button_back->get_sensitive(), index != kWelcomePage);
        EXPECT_TRUE(button_apply->get_visible());
    }

    NetworkConfig nc{"eth1", "eth0"};
    sigc::connection cancelScans;
};

TEST_F(NavigationTest, NextWalksAllFourPagesAndTheLastConfirmationClosesTheWindow)
{
    EXPECT_EQ(currentPage(), kWelcomePage);
    {
        SCOPED_TRACE("welcome");
        expectHeader(kWelcomePage);
    }

    nextWithoutDialog();
    ASSERT_EQ(currentPage(), kNetworkPage);
    {
        SCOPED_TRACE("network");
        expectHeader(kNetworkPage);
    }

    StdoutCapture out;
    next(button_apply_yes);
    ASSERT_EQ(currentPage(), kCameraPage);
    EXPECT_TRUE(out.contains("---Valid dhcp")) << out.text();
    {
        SCOPED_TRACE("camera");
        expectHeader(kCameraPage);
    }

    next(button_apply_yes);
    ASSERT_EQ(currentPage(), kFinalPage);
    {
        SCOPED_TRACE("final");
        expectHeader(kFinalPage);
    }

    next(button_apply_yes);
    EXPECT_FALSE(dialog_apply->get_visible());
    EXPECT_FALSE(window_main->get_visible());  // with no window left the program ends
}

TEST_F(NavigationTest, InvalidNetworkPageRefusesNextUntilMended)
{
    goTo(kNetworkPage);
    switch_dhcp->set_active(true);
    entry_startip->set_text("192.168.1.");
    entry_endip->set_text("192.168.1.200");

    StdoutCapture out;
    next(button_apply_yes);
    EXPECT_EQ(currentPage(), kNetworkPage);
    EXPECT_EQ(label_startiperror->get_text(), "Please enter a valid IP");
    EXPECT_TRUE(out.contains("---Invalid dhcp")) << out.text();
    expectHeader(kNetworkPage);

    entry_startip->set_text("192.168.1.100");
    next(button_apply_yes);
    EXPECT_EQ(currentPage(), kCameraPage);
    EXPECT_EQ(label_startiperror->get_text(), "");
}

class NoKeepsThePageTest : public NavigationTest, public ::testing::WithParamInterface<int> {};

TEST_P(NoKeepsThePageTest, DialogHiddenAndNothingChanged)
{
    goTo(GetParam());
    next(button_apply_no);
    EXPECT_FALSE(dialog_apply->get_visible());
    EXPECT_EQ(currentPage(), GetParam());
    expectHeader(GetParam());
    EXPECT_TRUE(window_main->get_visible());
}

INSTANTIATE_TEST_SUITE_P(Pages, NoKeepsThePageTest,
                         ::testing::Values(kNetworkPage, kCameraPage, kFinalPage));

class BackTest : public NavigationTest, public ::testing::WithParamInterface<int> {};

TEST_P(BackTest, GoesOnePageBackWithoutAsking)
{
    goTo(GetParam());
    // An invalid page does not hold Back.
    entry_startip->set_text("not an address");
    switch_dhcp->set_active(true);

    on_button_back_clicked(nc);
    EXPECT_FALSE(dialog_apply->get_visible());
    EXPECT_EQ(currentPage(), GetParam() - 1);
    expectHeader(GetParam() - 1);
}

INSTANTIATE_TEST_SUITE_P(Pages, BackTest,
                         ::testing::Values(kNetworkPage, kCameraPage, kFinalPage));

TEST_F(NavigationTest, BackOnTheWelcomePageDoesNothing)
{
    on_button_back_clicked(nc);
    EXPECT_EQ(currentPage(), kWelcomePage);
    expectHeader(kWelcomePage);
}

struct QuitCase {
    const char* name;
    Gtk::Button** answer;
    bool windowStays;
};

void PrintTo(const QuitCase& c, std::ostream* os) { *os << c.name; }

const QuitCase kQuitCases[] = {
    {"No", &button_quit_no, true},
    {"Yes", &button_quit_yes, false},
};

class QuitTest : public NavigationTest, public ::testing::WithParamInterface<QuitCase> {};

TEST_P(QuitTest, CloseRequestAsksAndTheToolkitNeverClosesByItself)
{
    goTo(kCameraPage);
    answer_dialog_when_shown(dialog_quit, *GetParam().answer);

    StdoutCapture out;
    EXPECT_TRUE(on_window_main_destroy_event(nullptr));
    EXPECT_TRUE(out.contains("Exiting...")) << out.text();
    EXPECT_FALSE(dialog_quit->get_visible());
    EXPECT_EQ(window_main->get_visible(), GetParam().windowStays);
    EXPECT_EQ(currentPage(), kCameraPage);
}

INSTANTIATE_TEST_SUITE_P(Answers, QuitTest, ::testing::ValuesIn(kQuitCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Escape ends a dialog's run without any of its buttons; the dialog must not stay behind.
void escapeWhenShown(Gtk::Dialog* dialog)
{
    Glib::signal_timeout().connect(
        [dialog]() {
            if (!dialog->get_visible())
                return true;
            dialog->response(Gtk::RESPONSE_DELETE_EVENT);
            return false;
        },
        10);
}

TEST_F(NavigationTest, EscapeInEitherDialogChangesNothingAndLeavesNoDialog)
{
    goTo(kCameraPage);
    escapeWhenShown(dialog_apply);
    on_button_apply_clicked(nc);
    EXPECT_FALSE(dialog_apply->get_visible());
    EXPECT_EQ(currentPage(), kCameraPage);

    escapeWhenShown(dialog_quit);
    EXPECT_TRUE(on_window_main_destroy_event(nullptr));
    EXPECT_FALSE(dialog_quit->get_visible());
    EXPECT_TRUE(window_main->get_visible());
}

}  // namespace
