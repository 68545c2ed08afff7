// The on-screen keyboard for the three camera password fields: shown while one has the focus.
#pragma once

#include <gdk/gdk.h>

// Keyboard requests are sent one at a time and not awaited; true while one is still to end.
bool keyboardRequestsPending();

bool on_entry_camPW_focus_in_event(GdkEventFocus* event);
bool on_entry_camPW_focus_out_event(GdkEventFocus* event);
bool on_entry_camPW1_focus_in_event(GdkEventFocus* event);
bool on_entry_camPW1_focus_out_event(GdkEventFocus* event);
bool on_entry_camPW2_focus_in_event(GdkEventFocus* event);
bool on_entry_camPW2_focus_out_event(GdkEventFocus* event);
