// Which camera hangs on which PoE port: the ports go off one at a time, and the camera that
// stops answering the discovery request when a port goes off is the one on that port.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "discovery/discovery_reply.h"

using MacSet = std::set<std::string>;

MacSet macsOf(const ReplyAddresses& replies);

// After the ports went on again: every camera that answered before the search answers again,
// with an address once more unless it had none before (DHCP gives it one a moment after boot).
bool camerasBack(const ReplyAddresses& before, const ReplyAddresses& now);

// The replies of one search, round by round: the MAC addresses that answered with every port
// on, then those that answered after each further port went off (ports stay off until the end).
class PortSearch {
public:
    explicit PortSearch(MacSet before);

    // The cameras the next round waits for: those that answered the round before. The camera
    // on the port just switched off is among them and keeps the round to its limit.
    const MacSet& expected() const { return rounds_.back(); }
    // The replies after the next port (0 first, then 1, ...) went off.
    void addRound(MacSet answered) { rounds_.push_back(std::move(answered)); }

    // Driver port of each camera that answered before the first port went off and vanished at
    // exactly one port. One that vanished, came back and vanished again (a lost reply) gets none.
    std::map<std::string, int> ports() const;

private:
    std::vector<MacSet> rounds_;  // rounds_[0]: before; rounds_[p + 1]: after port p went off
};

// The port as the recorder's back panel numbers it: driver port 0 is "1".
std::string portLabel(int driverPort);

// What the progress dialog says while the port is off: "Port 7 of 16" for driver port 6.
std::string portProgressText(int driverPort, int portCount);
