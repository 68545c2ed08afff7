// Keeps passwords out of traces: whatever a camera or a message echoes, it is shown masked.
#pragma once

#include <string>
#include <vector>

// What a trace shows in place of a password.
inline constexpr const char* kPasswordMask = "********";

// Every occurrence of each non-empty password, as typed and percent-encoded, replaced by "********".
std::string maskPasswords(std::string text, const std::vector<std::string>& passwords);
