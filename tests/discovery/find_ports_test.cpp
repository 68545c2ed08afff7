#include <gtest/gtest.h>

#include "discovery/find_ports.h"

namespace {

const std::string A = "02:56:4C:00:00:01", B = "02:56:4C:00:00:02", C = "02:56:4C:00:00:03";

// Rounds as the search sees them: before, then one set per port switched off (0, 1, ...).
std::map<std::string, int> search(const MacSet& before, const std::vector<MacSet>& afterEachPort)
{
    PortSearch run(before);
    for (const MacSet& round : afterEachPort)
        run.addRound(round);
    return run.ports();
}

}  // namespace

TEST(PortSearch, TheCameraThatStopsAnsweringWhenItsPortGoesOffIsOnIt)
{
    struct Case {
        const char* what;
        MacSet before;
        std::vector<MacSet> rounds;
        std::map<std::string, int> ports;
    };
    const Case cases[] = {
        {"ports 0, 2 and 3; port 1 empty changes nothing",
         {A, B, C}, {{B, C}, {B, C}, {C}, {}}, {{A, 0}, {B, 2}, {C, 3}}},
        {"a camera that did not answer before gets no port, even when it shows up later",
         {A, B}, {{B, C}, {C}, {}}, {{A, 0}, {B, 1}}},
        {"a lost reply at port 0, back at port 1, gone at its own port 2: vanished twice, no port",
         {A, B}, {{B}, {A, B}, {B}, {}}, {{B, 3}}},
        {"a camera that never vanished (not on these ports) gets none",
         {A, B}, {{B}, {B}}, {{A, 0}}},
        {"two cameras behind one port both get it",
         {A, B, C}, {{C}, {}}, {{A, 0}, {B, 0}, {C, 1}}},
        {"nobody answered before", {}, {{A}, {}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(search(c.before, c.rounds), c.ports);
    }
}

// Each round waits for those that answered the round before: the camera on the port just
// switched off is among them, one already gone is not.
TEST(PortSearch, EachRoundExpectsThoseThatAnsweredTheRoundBefore)
{
    PortSearch run({A, B});
    EXPECT_EQ(run.expected(), (MacSet{A, B}));
    run.addRound({B});
    EXPECT_EQ(run.expected(), (MacSet{B}));
    run.addRound({});
    EXPECT_TRUE(run.expected().empty());
}

TEST(PortLabel, NumberedFromOneAsOnTheBackPanel)
{
    EXPECT_EQ(portLabel(0), "1");
    EXPECT_EQ(portLabel(15), "16");
    EXPECT_EQ(portProgressText(6, 16), "Port 7 of 16");
    EXPECT_EQ(portProgressText(0, 16), "Port 1 of 16");
}

TEST(CamerasBack, EveryCameraOfBeforeAnswersAgainWithAnAddressUnlessItHadNone)
{
    const ReplyAddresses before = {{A, "192.168.1.120"}, {B, "0.0.0.0"}};
    struct Case {
        const char* what;
        ReplyAddresses now;
        bool back;
    };
    const Case cases[] = {
        {"both again", {{A, "192.168.1.120"}, {B, "0.0.0.0"}}, true},
        {"A still waiting for DHCP", {{A, "0.0.0.0"}, {B, "0.0.0.0"}}, false},
        {"A with another lease", {{A, "192.168.1.121"}, {B, "192.168.1.122"}}, true},
        {"B missing", {{A, "192.168.1.120"}, {C, "192.168.1.64"}}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(camerasBack(before, c.now), c.back) << c.what;
    EXPECT_EQ(macsOf(before), (MacSet{A, B}));
}
