#include "app/camera_page_entry.h"

#include "app/camera_work.h"
#include "app/scan_progress.h"
#include "discovery/poe.h"
#include "network/dhcp_page.h"
#include "network/dhcp_service.h"

void enter_camera_page(NetworkConfig& nc)
{
    {
        // The service commands are awaited in the main loop; meanwhile nothing else may start.
        HeldInput hold;
        controlDhcpService(apply_dhcp(nc));
    }
    throttle_switchports(0);
    throttle_switchports(1);
    run_scan_progress(nc.network1.broadcast, kEntryScanTickMs);
}
