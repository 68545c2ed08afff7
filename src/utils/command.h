// Running shell commands, and the two system helpers that reach outside the process.
#pragma once

#include <string>

namespace Utils {

// Runs the line through the shell and returns everything it wrote to standard output.
// exitCode is the command's exit status; 128 plus the signal's number when a signal ended it
// (as a shell reports it), -1 when its end could not be learnt. Only a clean exit gives 0.
// Throws std::runtime_error("Cannot open pipe") when the shell cannot be started.
std::string execCommand(std::string command, int& exitCode);

// Time-based UUID (version 1 layout) in its 36-character lower-case form.
std::string generate_uuid_v4();

// Sets the system clock to 13 July 2020, 06:02:30 local time; silent when not allowed.
void setTime();

}  // namespace Utils
