#include <gtest/gtest.h>

#include <string>

#include "support/stdout_capture.h"
#include "discovery/discovery.h"

TEST(ReceiveDiscoveryMessage, WithoutReplySocketTracesAndReturnsFalse)
{
    Discovery discovery;
    discovery.CloseSocket();
    std::string model = "m", status = "s", mode = "o", ip = "i", mac = "a", firmware = "f";

    StdoutCapture capture;
    const bool received = discovery.ReceiveDiscoveryMessage(model, status, mode, ip, mac, firmware);
    const std::string trace = capture.finish();

    EXPECT_FALSE(received);
    const std::string prefix = "socket creation failed: ";
    ASSERT_EQ(trace.compare(0, prefix.size(), prefix), 0) << trace;
    EXPECT_GT(trace.size(), prefix.size() + 1) << "the system's error text follows";
    EXPECT_EQ(model + status + mode + ip + mac + firmware, "msoiaf");
}
