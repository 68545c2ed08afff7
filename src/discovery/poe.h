// Power of the recorder's sixteen PoE ports, through the switch driver's device.
#pragma once

// Sets every port to state (0: unpowered, 1: powered); a state above 1 does nothing. When the
// device cannot be opened, that is traced once and no port request is made.
void throttle_switchports(int state);
