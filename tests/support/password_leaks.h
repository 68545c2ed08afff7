// Checks a whole test run's standard output for passwords in clear.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "camera/curlobject.h"
#include "support/stdout_capture.h"

// Runs the tests with their output kept back, replaces every password (as typed and as it
// travels in a query) by its place in the list, prints the output, and fails the run when any
// was found. Passwords are named by their place only, so the report does not leak them in turn.
inline int runCheckingPasswords(const std::function<int()>& runTests,
                                const std::function<const std::vector<std::string>&()>& passwords)
{
    std::string output;
    int result;
    {
        StdoutCapture whole;
        result = runTests();
        output = whole.finish(false);
    }

    const std::vector<std::string>& secrets = passwords();
    std::vector<std::size_t> leaked;
    for (std::size_t i = 0; i < secrets.size(); ++i) {
        const std::string mark = "<password #" + std::to_string(i + 1) + ">";
        bool found = false;
        for (const std::string& form : {secrets[i], percentEncode(secrets[i])}) {
            for (auto at = output.find(form); at != std::string::npos; at = output.find(form, at + mark.size())) {
                output.replace(at, form.size(), mark);
                found = true;
            }
        }
        if (found)
            leaked.push_back(i + 1);
    }
    std::fwrite(output.data(), 1, output.size(), stdout);
    for (std::size_t number : leaked)
        std::printf("password #%zu of %zu appeared in clear in standard output\n", number, secrets.size());
    std::printf("standard output checked for %zu passwords: %s\n", secrets.size(),
                leaked.empty() ? "none in clear" : "FAILED");
    std::fflush(stdout);
    return leaked.empty() ? result : 1;
}
