#include "camera/password_rules.h"

NewPasswordCheck checkNewPassword(const std::string& password, const std::string& confirmation)
{
    if (password.empty() || confirmation.empty())
        return NewPasswordCheck::Empty;
    if (password != confirmation)
        return NewPasswordCheck::Mismatch;
    return NewPasswordCheck::Accepted;
}
