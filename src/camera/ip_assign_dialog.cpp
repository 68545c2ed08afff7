#include "camera/ip_assign_dialog.h"

#include <iostream>

#include "app/widgets.h"

void on_button_rb1_ipassign_group_changed()
{
    const bool manual = button_rb2_ipassign->get_active();
    if (manual) {
        std::cout << "2 is active: " << 0 << std::endl;
    } else {
        // The last refusal was about a static address, which DHCP no longer asks for.
        label_ipassignerror->set_text("");
        std::cout << "1 is active: " << 1 << std::endl;
    }
    entry_camaddr->set_sensitive(manual);
    entry_camnetmask->set_sensitive(manual);
    entry_camgateway->set_sensitive(manual);
    entry_camdns->set_sensitive(true);
}
