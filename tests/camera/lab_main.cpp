// Runs the device tests inside the lab and fails the run when any password the tests used
// appeared in clear in the program's standard output.
#include <gtest/gtest.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "lab_support.h"
#include "stdout_capture.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    std::string output;
    int result;
    {
        StdoutCapture whole;
        result = RUN_ALL_TESTS();
        output = whole.finish();
    }

    const std::vector<std::string>& passwords = lab::secrets();
    int leaked = 0;
    for (std::size_t i = 0; i < passwords.size(); ++i) {
        if (output.find(passwords[i]) != std::string::npos) {
            // Name the password by its place only, so this report does not leak it in turn.
            std::printf("password #%zu of %zu appeared in clear in standard output\n", i + 1,
                        passwords.size());
            ++leaked;
        }
    }
    std::printf("standard output checked for %zu passwords: %s\n", passwords.size(),
                leaked == 0 ? "none in clear" : "FAILED");
    std::fflush(stdout);
    return leaked == 0 ? result : 1;
}
