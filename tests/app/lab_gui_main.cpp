// Runs the camera page's window tests inside the lab, as the recorder's program, and fails the
// run when any password the tests used appeared in clear in the program's standard output.
#include <gtest/gtest.h>

#include "../camera/lab_support.h"
#include "support/password_leaks.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    return runCheckingPasswords([] { return RUN_ALL_TESTS(); }, lab::secrets);
}
