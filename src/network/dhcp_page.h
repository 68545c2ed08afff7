// The network page: interface addresses, the DHCP server's settings, and their validation.
#pragma once

#include "network/NetworkConfig.h"

// Shows both interface addresses and pre-fills the pool entries with the camera network's prefix.
void init_networkConfig(NetworkConfig& config);

// Reads the DHCP server's configuration file into the page, then greys out the DHCP inputs.
void init_dhcp(NetworkConfig& config);

// With the switch on, rewrites the configuration file from the page, checked by the DHCP
// server itself when it is installed, and returns true (also when the write failed or the server
// refused the file: the old file is kept and the pool's first error label says so); with the
// switch off returns false and leaves the file alone. Never throws.
bool apply_dhcp(NetworkConfig& config);

void on_switch_dhcp_state_set();

// True when the page may be left; otherwise shows the first error beside its field. The pool
// must lie in the camera interface's subnet (its netmask as init_networkConfig found it).
bool validateDhcpSettings();
