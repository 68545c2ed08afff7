// The camera list of the camera page: one scan fills it, Rescan asks for a new one.
#pragma once

#include <string>

#include "network/NetworkConfig.h"

// One complete scan: empties the list, broadcasts the discovery request and adds a row per
// camera that answered, probed over HTTP for its status and the factory login.
void init_treeview1(std::string broadcastAddress);

void on_button_rescan_clicked(NetworkConfig& nc);
