#include "network/dhcp_service.h"

#include "utils/spawned_command.h"

const std::vector<ServiceCommand>& dhcpServiceCommands(bool serve)
{
    static const std::vector<ServiceCommand> start = {
        {"/etc/init.d/isc-dhcp-server restart", "dhcp service restart success: ["},
        {"systemctl enable isc-dhcp-server.service", "dhcp service enable success: ["},
    };
    static const std::vector<ServiceCommand> stop = {
        {"/etc/init.d/isc-dhcp-server stop", "dhcp service stop success: ["},
        {"systemctl disable isc-dhcp-server.service", "dhcp service disable success: ["},
    };
    return serve ? start : stop;
}

void controlDhcpService(bool serve)
{
    // "success" in the trace is the wording the logs have always had; the status tells. Each
    // is awaited in the main loop: a restart may take its time, the window goes on drawing.
    for (const ServiceCommand& command : dhcpServiceCommands(serve))
        Utils::awaitTracedCommand(command.line, command.tracePrefix);
}
