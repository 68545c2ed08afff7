#include <gtest/gtest.h>

#include <string>

#include "network/camera_network.h"

namespace {

const CameraNetwork kLab{"eth1", "192.168.1.1", "255.255.255.0"};

}  // namespace

TEST(CameraPlace, OnlyHostsOfTheCameraNetworkAreInside)
{
    struct Case {
        std::string candidate;
        CameraNetwork network;
        CameraPlace place;
    };
    const CameraNetwork wide{"eth1", "10.8.0.1", "255.255.252.0"};
    const Case cases[] = {
        {"192.168.1.64", kLab, CameraPlace::Inside},
        {"192.168.1.2", kLab, CameraPlace::Inside},
        {"192.168.1.254", kLab, CameraPlace::Inside},
        {"192.168.1.1", kLab, CameraPlace::Outside},    // the recorder itself
        {"192.168.1.0", kLab, CameraPlace::Outside},    // the network's own address
        {"192.168.1.255", kLab, CameraPlace::Outside},  // its broadcast address
        {"192.168.2.64", kLab, CameraPlace::Outside},
        {"10.1.1.50", kLab, CameraPlace::Outside},
        {"10.20.30.1", kLab, CameraPlace::Outside},     // the site network's side
        {"127.0.0.1", kLab, CameraPlace::Outside},
        {"255.255.255.255", kLab, CameraPlace::Outside},
        {"0.0.0.0", kLab, CameraPlace::NoAddress},
        {"0.0.0.0", CameraNetwork{}, CameraPlace::NoAddress},
        // Texts that are no dotted address are never inside.
        {"", kLab, CameraPlace::Outside},
        {"192.168.1.064", kLab, CameraPlace::Outside},
        {"192.168.1.64:80", kLab, CameraPlace::Outside},
        {"x@192.168.1.64", kLab, CameraPlace::Outside},
        {std::string("192.168.1.64\0.5", 15), kLab, CameraPlace::Outside},
        // A mask other than /24: 10.8.0.0 to 10.8.3.255.
        {"10.8.3.254", wide, CameraPlace::Inside},
        {"10.8.2.0", wide, CameraPlace::Inside},
        {"10.8.3.255", wide, CameraPlace::Outside},
        {"10.8.4.1", wide, CameraPlace::Outside},
        // Without a known camera network nothing is inside.
        {"192.168.1.64", CameraNetwork{}, CameraPlace::Outside},
        {"192.168.1.64", CameraNetwork{"eth1", "192.168.1.1", ""}, CameraPlace::Outside},
        {"192.168.1.64", CameraNetwork{"eth1", "192.168.1.1", "255.0.255.0"}, CameraPlace::Outside},
        {"192.168.1.64", CameraNetwork{"eth1", "", "255.255.255.0"}, CameraPlace::Outside},
        // A /31 or /32 network has no host besides the recorder.
        {"192.168.1.0", CameraNetwork{"eth1", "192.168.1.1", "255.255.255.254"}, CameraPlace::Outside},
        {"192.168.1.1", CameraNetwork{"eth1", "192.168.1.1", "255.255.255.255"}, CameraPlace::Outside},
    };
    for (const Case& c : cases)
        EXPECT_EQ(placeOf(c.candidate, c.network), c.place)
            << c.candidate << " in " << c.network.address << "/" << c.network.netmask;
}

TEST(CameraPlace, NetworkTextAndTheTooltipsThatTellWhy)
{
    EXPECT_EQ(networkText(kLab), "192.168.1.0/24");
    EXPECT_EQ(networkText(CameraNetwork{"eth1", "10.8.1.7", "255.255.252.0"}), "10.8.0.0/22");
    EXPECT_EQ(networkText(CameraNetwork{}), "");

    EXPECT_EQ(placeTooltip(CameraPlace::Outside, "10.1.1.50", kLab),
              "10.1.1.50 is outside the camera network 192.168.1.0/24, so the wizard does not contact "
              "it. Set the camera to DHCP (for example with its reset button) and Rescan.");
    EXPECT_EQ(placeTooltip(CameraPlace::Outside, "10.1.1.50", CameraNetwork{}),
              "10.1.1.50 is outside the camera network, so the wizard does not contact it. Set the "
              "camera to DHCP (for example with its reset button) and Rescan.");
    const std::string noAddress = placeTooltip(CameraPlace::NoAddress, "0.0.0.0", kLab);
    EXPECT_NE(noAddress.find("no address yet"), std::string::npos) << noAddress;
    EXPECT_NE(noAddress.find("DHCP server on"), std::string::npos) << noAddress;
    EXPECT_EQ(placeTooltip(CameraPlace::Inside, "192.168.1.64", kLab), "");
}
