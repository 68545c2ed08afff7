// The password fields and the on-screen keyboard: the real Onboard on the test's display and
// session bus, observed through its own state over D-Bus.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "app/gui_fixture.h"
#include "app/handlers.h"
#include "app/navigation.h"
#include "camera/connect_panel.h"
#include "app/keyboard.h"
#include "support/stdout_capture.h"
#include "utils/command.h"

extern char** environ;

namespace {

const std::string kShown = "onboard show success: [";
const std::string kHidden = "onboard hide success: [";

// The keyboard's requests trace when they end; the main loop runs until this line is there.
bool traced(const StdoutCapture& out, const std::string& line)
{
    return run_until([&] { return out.contains(line); });
}

std::string busQuery(const std::string& arguments)
{
    int status = 0;
    return Utils::execCommand("dbus-send --session --print-reply " + arguments + " 2>&1", status);
}

bool onboardOnTheBus()
{
    return busQuery("--dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner "
                    "string:org.onboard.Onboard")
               .find("boolean true") != std::string::npos;
}

bool onboardVisible()
{
    return busQuery("--dest=org.onboard.Onboard /org/onboard/Onboard/Keyboard "
                    "org.freedesktop.DBus.Properties.Get string:org.onboard.Onboard.Keyboard "
                    "string:Visible")
               .find("boolean true") != std::string::npos;
}

class KeyboardTest : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        connect_handlers(nc);
        // The camera page without arriving there: no service, PoE or scan on this machine.
        stack_main->set_visible_child(*stack_main->get_children().at(kCameraPage));
        window_main->show();
        window_main->present();
        ASSERT_TRUE(run_until([] { return window_main->has_toplevel_focus(); }))
            << "the window never got the keyboard focus";
        settle();
    }

    // The keyboard's requests end after the focus has moved: a test's traces start once the
    // earlier ones have ended.
    static void settle() { EXPECT_TRUE(run_until([] { return !keyboardRequestsPending(); })); }

    // Moves the focus as a tap would, and waits until the field has it.
    static void tap(Gtk::Entry* entry)
    {
        entry->grab_focus();
        run_until([entry] { return entry->has_focus(); });
        pump_events();
    }

    NetworkConfig nc{"eth1", "eth0"};
};

class WithOnboard : public KeyboardTest {
protected:
    static void SetUpTestSuite()
    {
        char program[] = "onboard";
        char* argv[] = {program, nullptr};
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&onboard, program, &quiet, nullptr, argv, environ) != 0)
            onboard = 0;
        posix_spawn_file_actions_destroy(&quiet);
        started = onboard != 0 && run_until(onboardOnTheBus, std::chrono::seconds(30));
    }

    static void TearDownTestSuite()
    {
        if (onboard != 0) {
            kill(onboard, SIGTERM);
            waitpid(onboard, nullptr, 0);
        }
        // A request to the keyboard while ours was going starts another through the bus's
        // service file; that one is not our child.
        const std::string owner = busQuery("--dest=org.freedesktop.DBus / "
                                           "org.freedesktop.DBus.GetConnectionUnixProcessID "
                                           "string:org.onboard.Onboard");
        const auto at = owner.find("uint32 ");
        if (at != std::string::npos)
            kill(static_cast<pid_t>(std::stol(owner.substr(at + 7))), SIGTERM);
        run_until([] { return !onboardOnTheBus(); }, std::chrono::seconds(10));
    }

    void SetUp() override
    {
        ASSERT_TRUE(started) << "Onboard did not come up on the session bus";
        KeyboardTest::SetUp();
    }

    static pid_t onboard;
    static bool started;
};

pid_t WithOnboard::onboard = 0;
bool WithOnboard::started = false;

TEST_F(WithOnboard, EachPasswordFieldShowsItAndLeavingHidesIt)
{
    StdoutCapture out;
    tap(entry_camID);
    tap(entry_camPW);
    EXPECT_TRUE(run_until(onboardVisible)) << "the keyboard did not show";
    tap(entry_camID);
    EXPECT_TRUE(run_until([] { return !onboardVisible(); })) << "the keyboard did not hide";
    EXPECT_TRUE(traced(out, kHidden + "0] "));
    const std::string trace = out.finish();
    EXPECT_EQ(trace, kShown + "0] \n" + kHidden + "0] \n") << "the ID field asks for nothing";

    switch_grid(kChangePasswordMode);
    pump_events();
    for (Gtk::Entry* field : {entry_camPW1, entry_camPW2}) {
        StdoutCapture each;
        tap(field);
        EXPECT_TRUE(run_until(onboardVisible)) << field->get_name();
        tap(entry_camID);
        EXPECT_TRUE(run_until([] { return !onboardVisible(); })) << field->get_name();
        EXPECT_TRUE(traced(each, kHidden + "0] "));
        EXPECT_EQ(each.finish(), kShown + "0] \n" + kHidden + "0] \n");
    }
}

TEST_F(WithOnboard, FromOnePasswordFieldToTheNextHidesThenShows)
{
    switch_grid(kChangePasswordMode);
    pump_events();
    tap(entry_camPW1);
    settle();
    StdoutCapture out;
    tap(entry_camPW2);
    // The requests are not awaited: the focus has moved before they end, in the order asked.
    EXPECT_TRUE(entry_camPW2->has_focus());
    EXPECT_TRUE(traced(out, kShown + "0] "));
    EXPECT_EQ(out.finish(), kHidden + "0] \n" + kShown + "0] \n");
    EXPECT_TRUE(run_until(onboardVisible));
}

using WithoutOnboard = KeyboardTest;

// No keyboard to reach at all (on the test's bus a request would start Onboard through its
// service file, as on a recorder): the field still works and the trace tells the failure.
TEST_F(WithoutOnboard, TheFieldStillWorksAndTheTraceTellsTheStatus)
{
    const std::string bus = std::getenv("DBUS_SESSION_BUS_ADDRESS") ? std::getenv("DBUS_SESSION_BUS_ADDRESS") : "";
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
    StdoutCapture out;
    tap(entry_camPW);
    entry_camPW->set_text("typed");
    tap(entry_camID);
    // Both requests start from this environment, the second once the first has ended.
    EXPECT_TRUE(traced(out, kHidden + "1] "));
    const std::string trace = out.finish();
    setenv("DBUS_SESSION_BUS_ADDRESS", bus.c_str(), 1);
    EXPECT_EQ(trace, kShown + "1] \n" + kHidden + "1] \n");
    EXPECT_EQ(entry_camPW->get_text(), "typed");
    EXPECT_TRUE(entry_camID->has_focus());
}

}  // namespace
