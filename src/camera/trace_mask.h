// Keeps passwords out of traces: whatever a camera or a message echoes, it is shown masked.
#pragma once

#include <string>
#include <vector>

// What a trace shows in place of a password.
inline constexpr const char* kPasswordMask = "********";

// Every form a password can take in a request or an echo of it: as typed, percent-encoded with
// upper- and lower-case hex, and each of those with "+" for a space. Empty for an empty password.
std::vector<std::string> passwordForms(const std::string& password);

// Every occurrence of each form of each non-empty password replaced by "********".
std::string maskPasswords(std::string text, const std::vector<std::string>& passwords);
