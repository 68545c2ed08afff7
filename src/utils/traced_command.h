// Running an outside command whose outcome is only traced, never acted on.
#pragma once

#include <string>

namespace Utils {

// Runs the line through the shell to its end and traces the prefix, the exit status, "] " and
// what the command wrote. A shell that cannot even be started is traced the same way, with
// status -1 and the reason, instead of leaving the caller with an exception. Returns the status.
int runTracedCommand(const std::string& line, const std::string& tracePrefix);

}  // namespace Utils
