// Power of the recorder's sixteen PoE ports, through the switch driver's device.
#pragma once

// Sets every port to state (0: unpowered, 1: powered); a state above 1 does nothing.
void throttle_switchports(int state);
