// The wizard's signal connections, made once at start-up.
#pragma once

#include "network/NetworkConfig.h"

// Connects every handler to its widget in a fixed order. Handlers that need the recorder's
// network get a copy of nc each, bound at connection time, that no other handler sees.
void connect_handlers(const NetworkConfig& nc);
