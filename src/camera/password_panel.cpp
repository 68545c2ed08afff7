#include "camera/password_panel.h"

#include <iostream>

#include "app/process_objects.h"
#include "app/widgets.h"
#include "camera/camera_answers.h"
#include "camera/camera_requests.h"
#include "camera/connect_panel.h"
#include "camera/password_rules.h"
#include "camera/trace_mask.h"

namespace {

void showMessage(const char* text, const char* colour)
{
    label_change_pw_error->set_text(text);
    label_change_pw_error->override_color(Gdk::RGBA(colour), Gtk::STATE_FLAG_NORMAL);
}

// A factory-new camera takes its first password without credentials. Whether it took is seen
// at the next connect, so the row waits for that as "Not Connected".
void setInitialPassword(Gtk::TreeModel::Row& row, const Glib::ustring& address,
                        const std::string& password, const std::string& confirmation)
{
    if (!validateNewPassword(password, confirmation))
        return;
    const corvexPacket answer = postCorvexSetPassword(address, password);
    std::cout << "Init set pwd resp: " << maskPasswords(answer.body, {password}) << std::endl;
    row[m_CameraColumns.status] = "Not Connected";
    switch_grid(kAuthenticateMode);
}

// The account in the row changes its password with the row's stored credentials.
void changePassword(Gtk::TreeModel::Row& row, const Glib::ustring& address,
                    const corvexPacket& interfaceView, const std::string& password,
                    const std::string& confirmation)
{
    // Credentials that no longer work cannot change anything; nothing to tell for this camera.
    if (!isAuthorized(interfaceView.code))
        return;
    if (!validateNewPassword(password, confirmation))
        return;
    std::cout << "password validated" << std::endl;

    const Glib::ustring user = row[m_CameraColumns.Username];
    const Glib::ustring current = row[m_CameraColumns.pw];
    const corvexPacket answer = postCorvexChangePassword(address, user, current, password);
    if (passwordChangeAccepted(answer)) {
        row[m_CameraColumns.status] = "Connected";
        row[m_CameraColumns.pw] = password;
        showMessage(kPasswordChanged, kSuccessColour);
    } else {
        showMessage(kPasswordNotAccepted, kFailureColour);
    }
}

}  // namespace

bool validateNewPassword(const std::string& password, const std::string& confirmation)
{
    switch (checkNewPassword(password, confirmation)) {
    case NewPasswordCheck::Empty:
        std::cout << "PASSWORD NOT accepted" << std::endl;
        std::cout << "pw1==" << maskPasswords(password, {password}) << ", pw2=="
                  << maskPasswords(confirmation, {confirmation}) << std::endl;
        showMessage(kPasswordNotAccepted, kFailureColour);
        return false;
    case NewPasswordCheck::Mismatch:
        std::cout << "PASSWORD NOT match" << std::endl;
        showMessage(kPasswordsDoNotMatch, kFailureColour);
        return false;
    case NewPasswordCheck::Accepted:
        break;
    }
    return true;
}

void on_button_change_password_clicked()
{
    const std::string password = entry_camPW1->get_text();
    const std::string confirmation = entry_camPW2->get_text();
    // Emptied before any request, so a typed password never outlives the click.
    entry_camPW->set_text("");
    entry_camPW1->set_text("");
    entry_camPW2->set_text("");

    for (const Gtk::TreeModel::Path& path : refTreeSelection->get_selected_rows()) {
        Gtk::TreeModel::Row row = *m_camRefTreeModel->get_iter(path);
        const Glib::ustring address = row[m_CameraColumns.IP];
        const Glib::ustring user = row[m_CameraColumns.Username];
        const Glib::ustring stored = row[m_CameraColumns.pw];

        const corvexPacket interfaceView = getCorvexData(kInterfaceView, address, user, stored);
        std::cout << "BUFFER CHANGE PWD: " << maskPasswords(interfaceView.body, {stored.raw()})
                  << std::endl;
        if (getStatus(address) == "Need Password")
            setInitialPassword(row, address, password, confirmation);
        else
            changePassword(row, address, interfaceView, password, confirmation);
    }
}

bool on_button_change_password_focus_out_event(GdkEventFocus* /*event*/)
{
    label_change_pw_error->set_text("");
    return true;
}
