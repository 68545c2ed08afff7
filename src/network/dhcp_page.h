// The network page: interface addresses, the DHCP server's settings, and their validation.
#pragma once

#include "network/NetworkConfig.h"

// Shows both interface addresses and pre-fills the pool entries with the camera network's prefix.
void init_networkConfig(NetworkConfig& config);

// Reads the DHCP server's configuration file into the page, then greys out the DHCP inputs.
void init_dhcp(NetworkConfig& config);

// With the switch on, rewrites the configuration file from the page and returns true (also
// when the write failed and the old file was kept); with the switch off returns false and
// leaves the file alone. Never throws.
bool apply_dhcp(NetworkConfig& config);

void on_switch_dhcp_state_set();

// True when the page may be left; otherwise shows the first error beside its field.
bool validateDhcpSettings();
