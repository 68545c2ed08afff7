#include "app/keyboard.h"

#include "utils/spawned_command.h"

namespace {

// The keyboard is asked over the session bus; nothing waits for the command: its trace, when it
// ends, tells the status, and the focus moves on at once.
constexpr const char* kShowKeyboard =
    "dbus-send --type=method_call --dest=org.onboard.Onboard /org/onboard/Onboard/Keyboard "
    "org.onboard.Onboard.Keyboard.Show";
constexpr const char* kHideKeyboard =
    "dbus-send --type=method_call --dest=org.onboard.Onboard /org/onboard/Onboard/Keyboard "
    "org.onboard.Onboard.Keyboard.Hide";

bool showKeyboard()
{
    Utils::startTracedCommand(kShowKeyboard, "onboard show success: [");
    return true;
}

bool hideKeyboard()
{
    Utils::startTracedCommand(kHideKeyboard, "onboard hide success: [");
    return true;
}

}  // namespace

bool on_entry_camPW_focus_in_event(GdkEventFocus* /*event*/) { return showKeyboard(); }
bool on_entry_camPW_focus_out_event(GdkEventFocus* /*event*/) { return hideKeyboard(); }
bool on_entry_camPW1_focus_in_event(GdkEventFocus* /*event*/) { return showKeyboard(); }
bool on_entry_camPW1_focus_out_event(GdkEventFocus* /*event*/) { return hideKeyboard(); }
bool on_entry_camPW2_focus_in_event(GdkEventFocus* /*event*/) { return showKeyboard(); }
bool on_entry_camPW2_focus_out_event(GdkEventFocus* /*event*/) { return hideKeyboard(); }
