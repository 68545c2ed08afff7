// Starting and enabling, or stopping and disabling, the recorder's DHCP server.
#pragma once

#include <vector>

struct ServiceCommand {
    const char* line;
    const char* tracePrefix;
};

// The two commands, in their order, for a server that must serve (true) or must not (false).
const std::vector<ServiceCommand>& dhcpServiceCommands(bool serve);

// Runs both commands to their end, one after the other, each awaited in a nested main loop, and
// traces each; a failing one does not stop the other.
void controlDhcpService(bool serve);
