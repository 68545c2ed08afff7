// The only rules the wizard itself applies to a new password: typed, and typed the same twice.
// The cameras' own rules are theirs to enforce; their answer tells.
#pragma once

#include <string>

enum class NewPasswordCheck { Accepted, Empty, Mismatch };

NewPasswordCheck checkNewPassword(const std::string& password, const std::string& confirmation);

inline constexpr const char* kPasswordNotAccepted = "Password not accepted. Please try again.";
inline constexpr const char* kPasswordsDoNotMatch = "Passwords do not match. Please try again.";
inline constexpr const char* kPasswordChanged = "Password successfully changed.";
inline constexpr const char* kFailureColour = "#CC0000";
inline constexpr const char* kSuccessColour = "#4BB543";
