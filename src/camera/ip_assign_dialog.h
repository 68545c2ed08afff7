// The IP assignment dialog of the camera page.
#pragma once

// Runs on every change of the DHCP / Manual pair: DHCP keeps the camera's address fields
// read-only, Manual opens all four for editing.
void on_button_rb1_ipassign_group_changed();
