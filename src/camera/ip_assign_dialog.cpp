#include "camera/ip_assign_dialog.h"

#include <iostream>

#include "app/camera_work.h"
#include "app/process_objects.h"
#include "app/widgets.h"
#include "camera/address_entries.h"
#include "camera/camera_requests.h"
#include "camera/request_batch.h"
#include "camera/trace_mask.h"
#include "discovery/camera_selection.h"
#include "utils/address.h"

namespace {

AddressEntries typedEntries()
{
    return {entry_camaddr->get_text(), entry_camnetmask->get_text(), entry_camgateway->get_text(),
            entry_camdns->get_text()};
}

// The DNS server goes first, to the address the camera has now: a camera applies a new
// address at once and would not be found at the old one for the DNS request after it.
RequestSequence addressSequence(const Gtk::TreeModel::Row& row, const AddressEntries& entries, bool manual)
{
    const Glib::ustring address = row[m_CameraColumns.IP];
    const Glib::ustring user = row[m_CameraColumns.Username];
    const Glib::ustring password = row[m_CameraColumns.pw];
    RequestSequence steps;
    if (Utils::validateIpAddress(entries.dns))
        steps.push_back([=](const std::vector<corvexPacket>&) -> std::optional<PreparedRequest> {
            return prepareSetCorvexDNS(address, user, password, entries.dns);
        });
    steps.push_back([=](const std::vector<corvexPacket>&) -> std::optional<PreparedRequest> {
        if (manual)
            return preparePostCorvexSetStatic(address, user, password, entries.address, entries.gateway,
                                              entries.mask);
        return preparePostCorvexSetDhcp(address, user, password);
    });
    return steps;
}

void applyAddress(Gtk::TreeModel::Row& row, const corvexPacket& answer, const AddressEntries& entries,
                  bool manual)
{
    const Glib::ustring password = row[m_CameraColumns.pw];
    if (isAuthorized(answer.code)) {
        row[m_CameraColumns.IP] = entries.address;
        row[m_CameraColumns.Mode] = manual ? "Static" : "DHCP";
    }
    std::cout << "RESP---------------\n" << maskPasswords(answer.body, {password.raw()}) << std::endl;
}

}  // namespace

void on_button_ipassign_clicked()
{
    label_ipassignerror->set_text("");
    const std::vector<Gtk::TreeModel::Path> selected = refTreeSelection->get_selected_rows();
    if (selected.size() != 1) {
        button_ipassign->set_sensitive(false);
        return;
    }
    const Gtk::TreeModel::Row row = *m_camRefTreeModel->get_iter(selected.front());
    if (Glib::ustring(row[m_CameraColumns.status]) != "Connected")
        return;
    dialog_ipassign->run();
    // Escape ends the run without either button: it counts as Cancel, so no edit stays behind.
    if (dialog_ipassign->get_visible())
        on_button_cancel_ipassign_clicked();
}

void on_button_cancel_ipassign_clicked()
{
    label_ipassignerror->set_text("");
    on_treeview1_selection_changed();
    dialog_ipassign->hide();
}

void on_button_apply_ipassign_clicked(NetworkConfig& nc)
{
    label_ipassignerror->set_text("");
    std::cout << "-------POST-------------" << std::endl;

    const AddressEntries entries = typedEntries();
    const bool manual = button_rb2_ipassign->get_active();
    const DhcpPool pool{switch_dhcp->get_active(), nc.network1.address, entry_startip->get_text(),
                        entry_endip->get_text()};
    if (const std::optional<std::string> refusal = firstRefusal(entries, manual, pool)) {
        label_ipassignerror->set_text(*refusal);
        return;
    }
    askSelectedCameras(
        [&](const Gtk::TreeModel::Row& row) { return addressSequence(row, entries, manual); },
        [&](Gtk::TreeModel::Row& row, const std::vector<corvexPacket>& answers) {
            applyAddress(row, answers.back(), entries, manual);
        });
    dialog_ipassign->hide();
}

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
