// Power of the recorder's sixteen PoE ports, through the switch driver's device.
#pragma once

// The switch's ports, 0 to 15 as the driver numbers them.
inline constexpr int kPoePortCount = 16;

// Sets every port to state (0: unpowered, 1: powered); a state above 1 does nothing. When the
// device cannot be opened, that is traced once and no port request is made.
void throttle_switchports(int state);

// Sets one port to state, with the same traces and rules as every port: a port outside 0 to 15
// or a state above 1 does nothing.
void switch_port(int port, int state);
