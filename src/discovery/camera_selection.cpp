#include "discovery/camera_selection.h"

#include <algorithm>
#include <iostream>

#include "app/camera_work.h"
#include "app/process_objects.h"
#include "app/widgets.h"
#include "camera/camera_answers.h"
#include "camera/camera_requests.h"
#include "camera/connect_panel.h"
#include "camera/key_value.h"
#include "camera/request_batch.h"
#include "camera/trace_mask.h"

namespace {

constexpr const char* kStaticMode = "Static";

void setIfGiven(Gtk::Entry* entry, const std::optional<std::string>& value)
{
    if (value)
        entry->set_text(*value);
}

// The camera accepted the row's credentials: its own settings fill the address fields.
void showCameraSettings(const Glib::ustring& address, const Glib::ustring& user,
                        const Glib::ustring& mode, const corvexPacket& interfaceView,
                        const corvexPacket& dnsView, const std::string& password, bool onlyOne)
{
    entry_camID->set_text(user);
    button_open_register->set_sensitive(true);

    const AddressSettings settings = readAddressSettings(interfaceView.body, dnsView.body);
    setIfGiven(entry_camnetmask, settings.netmask);
    setIfGiven(entry_camgateway, settings.gateway);
    for (const KeyValue& word : readKeyValues(dnsView.body)) {
        std::cout << "dns test =" << maskPasswords(word.value, {password}) << std::endl;
        if (word.key == "PrimaryDNS")
            std::cout << "isprimarydns=== " << maskPasswords(word.value, {password}) << std::endl;
    }
    setIfGiven(entry_camdns, settings.dns);
    entry_camaddr->set_text(address);

    // Making a radio button active runs the pair's handler, which sets the fields for its mode.
    if (mode == kStaticMode) {
        button_rb2_ipassign->set_active(true);
    } else {
        button_rb1_ipassign->set_active(true);
        entry_camaddr->set_sensitive(false);
        entry_camnetmask->set_sensitive(false);
        entry_camgateway->set_sensitive(false);
        entry_camdns->set_sensitive(true);
    }
    std::cout << "|" << mode << "|" << std::endl;
    button_ipassign->set_sensitive(onlyOne);
}

void forgetCameraSettings()
{
    entry_camaddr->set_text("");
    entry_camnetmask->set_text("");
    entry_camgateway->set_text("");
    button_open_register->set_sensitive(false);
    button_ipassign->set_sensitive(false);
}

}  // namespace

void on_treeview1_selection_changed()
{
    showSelectedCameras({});
}

void showSelectedCameras(const std::vector<Gtk::TreeModel::Path>& unanswered)
{
    switch_grid(kAuthenticateMode);
    entry_camPW->set_text("");
    button_connect_cam->set_label("Connect");

    // Every selected camera is asked side by side, each for its interface, then its DNS server.
    const bool onlyOne = refTreeSelection->count_selected_rows() == 1;
    askSelectedCameras(
        [&unanswered](const Gtk::TreeModel::Row& row) -> RequestSequence {
            if (std::find(unanswered.begin(), unanswered.end(), m_camRefTreeModel->get_path(row)) !=
                unanswered.end())
                return {};
            return addressSettingsViews(row[m_CameraColumns.IP], row[m_CameraColumns.Username],
                                        row[m_CameraColumns.pw], false);
        },
        [onlyOne](Gtk::TreeModel::Row& row, const std::vector<corvexPacket>& answers) {
            const Glib::ustring address = row[m_CameraColumns.IP];
            const Glib::ustring user = row[m_CameraColumns.Username];
            const Glib::ustring password = row[m_CameraColumns.pw];
            const Glib::ustring mode = row[m_CameraColumns.Mode];
            const Glib::ustring status = row[m_CameraColumns.status];
            // Not asked again: as a camera whose request failed, an empty answer.
            const corvexPacket notAsked;
            const corvexPacket& interfaceView = answers.empty() ? notAsked : answers.at(0);
            std::cout << "BUFFER CHANGE ROW: " << maskPasswords(interfaceView.body, {password.raw()})
                      << std::endl;

            if (isAuthorized(interfaceView.code))
                showCameraSettings(address, user, mode, interfaceView, answers.at(1), password.raw(),
                                   onlyOne);
            else
                forgetCameraSettings();

            if (status == "Need Password")
                switch_grid(kSetPasswordMode);
        });
}
