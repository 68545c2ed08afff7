// The register panel's one action: the first password of a factory-new camera, or a new
// password for a connected one, decided per camera by asking the camera itself.
#pragma once

#include <gdk/gdk.h>

#include <string>

// True when both texts are typed and equal; otherwise shows why in red.
bool validateNewPassword(const std::string& password, const std::string& confirmation);

void on_button_change_password_clicked();
bool on_button_change_password_focus_out_event(GdkEventFocus* event);
