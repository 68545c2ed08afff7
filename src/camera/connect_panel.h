// The authenticate panel (ID, password, Connect) and its switch with the register panel.
#pragma once

enum PanelMode {
    kAuthenticateMode = 0,    // connect controls
    kSetPasswordMode = 1,     // first password of a factory-new camera, no Cancel
    kChangePasswordMode = 2,  // new password for a connected camera, with Cancel
};

// Shows the panel of the mode; any other value changes nothing.
void switch_grid(int mode);

// Logs in to every selected camera with the typed ID and password; a camera that accepts them
// keeps them in its row for every later request.
void on_button_connect_cam_clicked();
void on_button_open_register_clicked();
void on_button_cancel_register_clicked();
