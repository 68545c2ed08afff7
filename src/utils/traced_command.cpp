#include "utils/traced_command.h"

#include <iostream>
#include <stdexcept>

#include "utils/command.h"

namespace Utils {

namespace {
constexpr int kNotStarted = -1;
}

int runTracedCommand(const std::string& line, const std::string& tracePrefix)
{
    int status = 0;
    std::string output;
    try {
        output = execCommand(line, status);
    } catch (const std::runtime_error& error) {
        status = kNotStarted;
        output = error.what();
    }
    std::cout << tracePrefix << status << "] " << output << std::endl;
    return status;
}

}  // namespace Utils
