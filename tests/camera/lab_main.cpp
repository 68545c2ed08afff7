// The main of the lab's test programs (the device tests, the camera page's window tests): fails
// the run when any password the tests used appeared in clear in the program's standard output.
#include <gtest/gtest.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "camera/trace_mask.h"
#include "lab_support.h"
#include "network/camera_network.h"
#include "support/stdout_capture.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // As the wizard does at start-up: the lab's eth1 is the camera network.
    useCameraNetwork(NetworkConfig(kCameraInterface, kSiteInterface).network1);
    std::string output;
    // The whole run's output is kept back and printed only after it was checked.
    int result;
    {
        StdoutCapture whole;
        result = RUN_ALL_TESTS();
        output = whole.finish(false);
    }

    const std::vector<std::string>& passwords = lab::secrets();
    std::vector<std::size_t> leaked;
    for (std::size_t i = 0; i < passwords.size(); ++i) {
        const std::string mark = "<password #" + std::to_string(i + 1) + ">";
        bool found = false;
        // The password as typed, and in every form it travels in a query.
        for (const std::string& form : passwordForms(passwords[i])) {
            for (auto at = output.find(form); at != std::string::npos; at = output.find(form, at + mark.size())) {
                output.replace(at, form.size(), mark);
                found = true;
            }
        }
        if (found)
            leaked.push_back(i + 1);
    }
    std::fwrite(output.data(), 1, output.size(), stdout);
    // Passwords are named by their place only, so this report does not leak them in turn.
    for (std::size_t number : leaked)
        std::printf("password #%zu of %zu appeared in clear in standard output\n", number, passwords.size());
    std::printf("standard output checked for %zu passwords: %s\n", passwords.size(),
                leaked.empty() ? "none in clear" : "FAILED");
    std::fflush(stdout);
    return leaked.empty() ? result : 1;
}
