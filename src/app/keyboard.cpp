#include "app/keyboard.h"

#include <deque>

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

struct KeyboardRequest {
    const char* line;
    const char* tracePrefix;
};

// One request at a time, in the order asked: a Hide and the Show after it, sent side by side,
// could reach the keyboard the other way round and leave it hidden under a password field.
std::deque<KeyboardRequest> waiting;
bool sending = false;

void sendNext()
{
    if (sending || waiting.empty())
        return;
    const KeyboardRequest next = waiting.front();
    waiting.pop_front();
    sending = true;
    Utils::startTracedCommand(next.line, next.tracePrefix, [](int /*status*/) {
        sending = false;
        sendNext();
    });
}

bool ask(const char* line, const char* tracePrefix)
{
    waiting.push_back({line, tracePrefix});
    sendNext();
    return true;
}

bool showKeyboard()
{
    return ask(kShowKeyboard, "onboard show success: [");
}

bool hideKeyboard()
{
    return ask(kHideKeyboard, "onboard hide success: [");
}

}  // namespace

bool keyboardRequestsPending()
{
    return sending || !waiting.empty();
}

bool on_entry_camPW_focus_in_event(GdkEventFocus* /*event*/) { return showKeyboard(); }
bool on_entry_camPW_focus_out_event(GdkEventFocus* /*event*/) { return hideKeyboard(); }
bool on_entry_camPW1_focus_in_event(GdkEventFocus* /*event*/) { return showKeyboard(); }
bool on_entry_camPW1_focus_out_event(GdkEventFocus* /*event*/) { return hideKeyboard(); }
bool on_entry_camPW2_focus_in_event(GdkEventFocus* /*event*/) { return showKeyboard(); }
bool on_entry_camPW2_focus_out_event(GdkEventFocus* /*event*/) { return hideKeyboard(); }
