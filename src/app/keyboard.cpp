#include "app/keyboard.h"

#include "utils/traced_command.h"

namespace {

// The keyboard is asked over the session bus; no answer is awaited, its trace tells the status.
constexpr const char* kShowKeyboard =
    "dbus-send --type=method_call --dest=org.onboard.Onboard /org/onboard/Onboard/Keyboard "
    "org.onboard.Onboard.Keyboard.Show";
constexpr const char* kHideKeyboard =
    "dbus-send --type=method_call --dest=org.onboard.Onboard /org/onboard/Onboard/Keyboard "
    "org.onboard.Onboard.Keyboard.Hide";

bool showKeyboard()
{
    Utils::runTracedCommand(kShowKeyboard, "onboard show success: [");
    return true;
}

bool hideKeyboard()
{
    Utils::runTracedCommand(kHideKeyboard, "onboard hide success: [");
    return true;
}

}  // namespace

bool on_entry_camPW_focus_in_event(GdkEventFocus* /*event*/) { return showKeyboard(); }
bool on_entry_camPW_focus_out_event(GdkEventFocus* /*event*/) { return hideKeyboard(); }
bool on_entry_camPW1_focus_in_event(GdkEventFocus* /*event*/) { return showKeyboard(); }
bool on_entry_camPW1_focus_out_event(GdkEventFocus* /*event*/) { return hideKeyboard(); }
bool on_entry_camPW2_focus_in_event(GdkEventFocus* /*event*/) { return showKeyboard(); }
bool on_entry_camPW2_focus_out_event(GdkEventFocus* /*event*/) { return hideKeyboard(); }
