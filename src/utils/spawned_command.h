// Outside commands run beside the main loop: started at once, their end seen by a child watch,
// so the window goes on drawing while they run.
#pragma once

#include <functional>
#include <string>

namespace Utils {

// Starts the line through the shell and returns at once. When the command has ended and its
// output is read, traces as runTracedCommand does (the prefix, the status, "] ", the output;
// 128 plus the signal's number when a signal ended it, -1 and the reason when it could not be
// started) and hands the status to onEnd, if given.
void startTracedCommand(const std::string& line, const std::string& tracePrefix,
                        std::function<void(int status)> onEnd = {});

// The same, awaited in a nested main loop; returns the status.
int awaitTracedCommand(const std::string& line, const std::string& tracePrefix);

// A wait status as a shell reports it: the exit code, or 128 plus the signal's number.
int shellStatus(int waitStatus);

}  // namespace Utils
