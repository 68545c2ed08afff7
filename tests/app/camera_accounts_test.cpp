// Connecting, first passwords and password changes, proven by the cameras' own accounts.
#include <gtest/gtest.h>

#include "../camera/lab_support.h"
#include "app/camera_page_fixture.h"
#include "app/process_objects.h"
#include "camera/password_panel.h"
#include "camera/password_rules.h"
#include "utils/command.h"

namespace {

// The camera accepts this password for the account; the password goes through stdin only.
bool cameraAccepts(const std::string& camera, const std::string& user, const std::string& password)
{
    const char* labCommand = std::getenv("VELNOR_LAB");
    if (labCommand == nullptr)
        return false;
    int status = -1;
    Utils::execCommand("printf '%s' '" + password + "' | " + labCommand + " camera " + camera +
                           " check-password " + user + " >/dev/null 2>&1",
                       status);
    return status == 0;
}

Gdk::RGBA messageColour()
{
    return label_change_pw_error->get_style_context()->get_color(Gtk::STATE_FLAG_NORMAL);
}

class CameraAccounts : public CameraPageTest {
protected:
    void typeNewPassword(const std::string& password, const std::string& confirmation)
    {
        entry_camPW1->set_text(password);
        entry_camPW2->set_text(confirmation);
        button_change_password->clicked();
    }
};

TEST_F(CameraAccounts, ConnectTakesTheCredentialsOnlyWhereTheCameraAcceptsThem)
{
    resetCamera(cams::kOwn);
    resetCamera(cams::kOkLine);
    arriveAtCameraPage(true);
    const std::string own = lab::secret("Own-Pass-4711");

    connect({cams::kOwn, cams::kOkLine}, "admin", own);
    const ListRow accepted = rowOf(cams::kOwn);
    EXPECT_EQ(accepted.status, "Connected");
    EXPECT_EQ(accepted.user, "admin");
    EXPECT_EQ(accepted.password, own);
    EXPECT_EQ(accepted.firmware, "3.0.1");
    const ListRow refused = rowOf(cams::kOkLine);
    EXPECT_EQ(refused.status, "Not Connected");
    EXPECT_EQ(refused.password, "");
    EXPECT_EQ(refused.firmware, "Unknown");
    EXPECT_EQ(entry_camPW->get_text(), "");

    // A wrong password later leaves what the camera accepted before.
    connect({cams::kOwn}, "admin", lab::secret("Not-Own-Pass"));
    EXPECT_EQ(rowOf(cams::kOwn).password, own);
    EXPECT_EQ(rowOf(cams::kOwn).status, "Connected");
    EXPECT_EQ(entry_camID->get_text(), "admin");
    EXPECT_TRUE(button_open_register->get_sensitive());
}

TEST_F(CameraAccounts, EmptyOrDifferingEntriesAreRefusedInRedAndNothingIsSent)
{
    arriveAtCameraPage(true);
    select({cams::kDefault});
    button_open_register->clicked();
    ASSERT_TRUE(button_cancel_register->get_visible());

    struct Case {
        const char* name;
        std::string password, confirmation;
        const char* message;
    };
    const Case cases[] = {
        {"both empty", "", "", kPasswordNotAccepted},
        {"confirmation empty", lab::secret("Dflt-New-1357"), "", kPasswordNotAccepted},
        {"one character apart", lab::secret("Dflt-New-1357"), lab::secret("Dflt-New-1358"), kPasswordsDoNotMatch},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t requests = lab::fileText(lab::cameraFile(cams::kDefault, "requests.log")).size();
        typeNewPassword(c.password, c.confirmation);
        EXPECT_EQ(label_change_pw_error->get_text(), c.message);
        EXPECT_EQ(messageColour(), Gdk::RGBA(kFailureColour));
        EXPECT_EQ(entry_camPW1->get_text(), "");
        EXPECT_EQ(entry_camPW2->get_text(), "");
        for (const std::string& line : lab::requestsSince(cams::kDefault, requests))
            EXPECT_EQ(line.find("security.cgi"), std::string::npos) << line;
    }
    EXPECT_TRUE(cameraAccepts(cams::kDefault, "admin", "7395"));
}

TEST_F(CameraAccounts, FirstPasswordForTwoFactoryCamerasAtOnceThenConnect)
{
    resetCamera(cams::kFresh);
    resetCamera(cams::kFresh2);
    arriveAtCameraPage(true);
    select({cams::kFresh, cams::kFresh2});
    ASSERT_EQ(button_change_password->get_label(), "Set Password");

    const std::string first = lab::secret("Init-Pass-2468");
    typeNewPassword(first, first);
    for (const char* camera : {cams::kFresh, cams::kFresh2}) {
        SCOPED_TRACE(camera);
        EXPECT_EQ(lab::state(camera, "s[\"initialized\"]"), "True");
        EXPECT_TRUE(cameraAccepts(camera, "admin", first));
        EXPECT_EQ(rowOf(camera).status, "Not Connected");
        EXPECT_EQ(rowOf(camera).password, "");
    }
    EXPECT_TRUE(grid_authenticate->get_visible());
    EXPECT_EQ(entry_camPW->get_text(), "");

    connect({cams::kFresh, cams::kFresh2}, "admin", first);
    for (const char* camera : {cams::kFresh, cams::kFresh2}) {
        EXPECT_EQ(rowOf(camera).status, "Connected") << camera;
        EXPECT_EQ(rowOf(camera).password, first) << camera;
    }
}

TEST_F(CameraAccounts, ChangeTakesOnTheCameraAndTheRowKeepsTheNewPassword)
{
    resetCamera(cams::kOwn);
    arriveAtCameraPage(true);
    connect({cams::kOwn}, "operator", lab::secret("Op-Pass-0815"));
    ASSERT_EQ(rowOf(cams::kOwn).status, "Connected");
    button_open_register->clicked();
    ASSERT_EQ(button_change_password->get_label(), "Change Password");

    const std::size_t requests = lab::fileText(lab::cameraFile(cams::kOwn, "requests.log")).size();
    const std::string changed = lab::secret("Op-New-Pass-97");
    typeNewPassword(changed, changed);
    EXPECT_EQ(label_change_pw_error->get_text(), kPasswordChanged);
    EXPECT_EQ(messageColour(), Gdk::RGBA(kSuccessColour));
    EXPECT_EQ(rowOf(cams::kOwn).password, changed);
    EXPECT_EQ(rowOf(cams::kOwn).user, "operator");
    EXPECT_TRUE(cameraAccepts(cams::kOwn, "operator", changed));
    EXPECT_FALSE(cameraAccepts(cams::kOwn, "operator", "Op-Pass-0815"));
    EXPECT_TRUE(cameraAccepts(cams::kOwn, "admin", "Own-Pass-4711"));
    bool updateSeen = false;
    for (const std::string& line : lab::requestsSince(cams::kOwn, requests))
        updateSeen = updateSeen || line.find("action=update&Index=1&UserID=operator") != std::string::npos;
    EXPECT_TRUE(updateSeen);
    EXPECT_TRUE(grid_register->get_visible()) << "the panel stays in change-password mode";

    // The message stays until the button loses the focus.
    on_button_change_password_focus_out_event(nullptr);
    EXPECT_EQ(label_change_pw_error->get_text(), "");
}

TEST_F(CameraAccounts, OkWithALineEndIsARefusalInRed)
{
    resetCamera(cams::kOkLine);
    arriveAtCameraPage(true);
    const std::string old = lab::secret("Okl-Pass-2222");
    connect({cams::kOkLine}, "admin", old);
    ASSERT_EQ(rowOf(cams::kOkLine).status, "Connected");
    button_open_register->clicked();

    const std::string changed = lab::secret("Okl-New-Pass-3");
    typeNewPassword(changed, changed);
    EXPECT_EQ(label_change_pw_error->get_text(), kPasswordNotAccepted);
    EXPECT_EQ(messageColour(), Gdk::RGBA(kFailureColour));
    EXPECT_EQ(rowOf(cams::kOkLine).password, old);
}

TEST_F(CameraAccounts, CancelInChangeModeEmptiesTheEntriesAndBringsBackConnect)
{
    arriveAtCameraPage(true);
    select({cams::kDefault});
    button_open_register->clicked();
    entry_camPW1->set_text(lab::secret("Half-Typed-1"));
    entry_camPW2->set_text(lab::secret("Half-Typed-2"));
    button_cancel_register->clicked();
    EXPECT_EQ(entry_camPW1->get_text(), "");
    EXPECT_EQ(entry_camPW2->get_text(), "");
    EXPECT_TRUE(grid_authenticate->get_visible());
    EXPECT_FALSE(grid_register->get_visible());
}

}  // namespace
