// What runs on every arrival at the camera page.
#pragma once

#include "network/NetworkConfig.h"

// Applies the DHCP settings, starts or stops the DHCP server, power-cycles the PoE ports so the
// cameras restart under the new settings, and counts down to the camera scan.
void enter_camera_page(NetworkConfig& nc);
