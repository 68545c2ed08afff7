#include "camera/connect_panel.h"

#include <iostream>

#include "app/camera_work.h"
#include "app/process_objects.h"
#include "app/widgets.h"
#include "camera/camera_answers.h"
#include "camera/camera_requests.h"
#include "camera/request_batch.h"
#include "camera/trace_mask.h"
#include "discovery/camera_list.h"
#include "discovery/camera_selection.h"

void switch_grid(int mode)
{
    if (mode != kAuthenticateMode && mode != kSetPasswordMode && mode != kChangePasswordMode)
        return;
    grid_register->set_visible(mode != kAuthenticateMode);
    grid_authenticate->set_visible(mode == kAuthenticateMode);
    if (mode != kAuthenticateMode)
        button_cancel_register->set_visible(mode == kChangePasswordMode);
    button_change_password->set_label(mode == kSetPasswordMode ? "Set Password" : "Change Password");
}

void on_button_connect_cam_clicked()
{
    const Glib::ustring user = entry_camID->get_text();
    const Glib::ustring password = entry_camPW->get_text();
    const std::vector<Gtk::TreeModel::Path> unanswered = askSelectedCameras(
        [&](const Gtk::TreeModel::Row& row) -> RequestSequence {
            const Glib::ustring address = row[m_CameraColumns.IP];
            return {[=](const std::vector<corvexPacket>&) -> std::optional<PreparedRequest> {
                return prepareCorvexData(kDeviceInfoView, address, user, password);
            }};
        },
        [&](Gtk::TreeModel::Row& row, const std::vector<corvexPacket>& answers) {
            const corvexPacket& answer = answers.at(0);
            std::cout << "BUFFER CONNECT: " << maskPasswords(answer.body, {password.raw()}) << std::endl;
            const DeviceInfo login = readDeviceInfo(answer);
            if (login.accepted)
                storeLogin(row, user, password, login);
        });
    // A camera that gave no answer to its login is not asked for its settings on top of it.
    showSelectedCameras(unanswered);
    entry_camPW->set_text("");
}

void on_button_open_register_clicked()
{
    switch_grid(kChangePasswordMode);
}

void on_button_cancel_register_clicked()
{
    entry_camPW1->set_text("");
    entry_camPW2->set_text("");
    switch_grid(kAuthenticateMode);
}
