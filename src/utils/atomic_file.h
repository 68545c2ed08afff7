// Writing a file so that it is either whole or absent, even when the medium fails midway.
#pragma once

#include <optional>
#include <string>

namespace Utils {

// Writes the text under a temporary name in the same folder, flushes it to the medium, then
// renames it to `name`. On failure nothing of it is left and the reason is returned.
std::optional<std::string> writeFileAtomically(const std::string& folder, const std::string& name,
                                               const std::string& text);

}  // namespace Utils
