// The IP assignment dialog of the camera page: DHCP, or a static address with mask, gateway and
// DNS server, for one connected camera.
#pragma once

#include "network/NetworkConfig.h"

// Opens the dialog for exactly one selected camera that is connected.
void on_button_ipassign_clicked();
// Puts back the camera's own values and closes the dialog.
void on_button_cancel_ipassign_clicked();
// Checks the entries and, when they pass, sends the DNS server and then the address to the camera.
void on_button_apply_ipassign_clicked(NetworkConfig& nc);

// Runs on every change of the DHCP / Manual pair: DHCP keeps the camera's address fields
// read-only, Manual opens all four for editing.
void on_button_rb1_ipassign_group_changed();
