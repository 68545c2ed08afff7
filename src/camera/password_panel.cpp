#include "camera/password_panel.h"

#include <iostream>

#include "app/camera_work.h"
#include "app/process_objects.h"
#include "app/widgets.h"
#include "camera/camera_answers.h"
#include "camera/camera_requests.h"
#include "camera/connect_panel.h"
#include "camera/password_rules.h"
#include "camera/request_batch.h"
#include "camera/trace_mask.h"

namespace {

void showMessage(const char* text, const char* colour)
{
    label_change_pw_error->set_text(text);
    label_change_pw_error->override_color(Gdk::RGBA(colour), Gtk::STATE_FLAG_NORMAL);
}

// What one camera is asked: its interface with the row's credentials, its status, then, for a
// factory-new camera, its first password without credentials, or else, when the credentials
// still work, the change of the row's account. A refused new password sends no third request.
RequestSequence passwordSequence(const Glib::ustring& address, const Glib::ustring& user,
                                 const Glib::ustring& stored, const std::string& password,
                                 const std::string& confirmation)
{
    return {
        [=](const std::vector<corvexPacket>&) -> std::optional<PreparedRequest> {
            return prepareCorvexData(kInterfaceView, address, user, stored);
        },
        [=](const std::vector<corvexPacket>& answers) -> std::optional<PreparedRequest> {
            std::cout << "BUFFER CHANGE PWD: " << maskPasswords(answers.at(0).body, {stored.raw()})
                      << std::endl;
            return prepareStatusCheck(address.raw());
        },
        [=](const std::vector<corvexPacket>& answers) -> std::optional<PreparedRequest> {
            if (statusOf(answers.at(1)) == "Need Password") {
                if (!validateNewPassword(password, confirmation))
                    return std::nullopt;
                return preparePostCorvexSetPassword(address, password);
            }
            // Credentials that no longer work cannot change anything; nothing to tell for this camera.
            if (!isAuthorized(answers.at(0).code) || !validateNewPassword(password, confirmation))
                return std::nullopt;
            std::cout << "password validated" << std::endl;
            return preparePostCorvexChangePassword(address, user, stored, password);
        },
    };
}

// A factory-new camera took its first password, or not: that is seen at the next connect, so
// the row waits for it as "Not Connected".
void applyInitialPassword(Gtk::TreeModel::Row& row, const corvexPacket& answer, const std::string& password)
{
    std::cout << "Init set pwd resp: " << maskPasswords(answer.body, {password}) << std::endl;
    row[m_CameraColumns.status] = "Not Connected";
    switch_grid(kAuthenticateMode);
}

// The account in the row changed its password, or the camera refused it.
void applyChangedPassword(Gtk::TreeModel::Row& row, const corvexPacket& answer, const std::string& password)
{
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

    askSelectedCameras(
        [&](const Gtk::TreeModel::Row& row) {
            return passwordSequence(row[m_CameraColumns.IP], row[m_CameraColumns.Username],
                                    row[m_CameraColumns.pw], password, confirmation);
        },
        [&](Gtk::TreeModel::Row& row, const std::vector<corvexPacket>& answers) {
            if (answers.size() < 3)
                return;  // the new password was refused, or the credentials no longer work
            if (statusOf(answers.at(1)) == "Need Password")
                applyInitialPassword(row, answers.at(2), password);
            else
                applyChangedPassword(row, answers.at(2), password);
        });
}

bool on_button_change_password_focus_out_event(GdkEventFocus* /*event*/)
{
    label_change_pw_error->set_text("");
    return true;
}
