// The record that the installation was completed: written when the installer confirms the
// wizard's final page, so that the session's autostart no longer starts the wizard.
#pragma once

#include <ctime>
#include <string>

// Where the package's autostart script looks; removing the file makes the wizard start with the
// session again. The program itself never reads it.
inline constexpr const char* kInstallationStamp = "/var/lib/velnor-config-tool/completed";

// The stamp's text: the local date and time with its offset, as 2026-12-10T19:05:12+01:00, and a
// line end.
std::string installationStampText(std::time_t when);

// Writes the stamp for `when` at path, through a temporary file and a rename; the missing folders
// on the way are made with mode 0755 whatever the umask, since the session's user must be able
// to see the stamp. On failure traces "Failed to write <path>: <reason>" and returns false.
bool writeInstallationStamp(const std::string& path, std::time_t when);
