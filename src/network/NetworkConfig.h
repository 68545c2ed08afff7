// The recorder's two wired interfaces as found once at start-up.
#pragma once

#include <string>
#include <vector>

struct interfaces_t {
    bool valid = false;    // found among the configured IPv4 interfaces and queried
    bool spare = true;     // kept for the record's layout; nothing reads it
    std::string name;
    std::string address;
    std::string broadcast;
    std::string netmask;
    std::string hwaddr;
    std::vector<std::string> extra;  // kept for the record's layout; nothing fills it
};

class NetworkConfig {
public:
    NetworkConfig(std::string first, std::string second);
    virtual ~NetworkConfig() = default;
    NetworkConfig(const NetworkConfig&) = default;
    NetworkConfig& operator=(const NetworkConfig&) = default;

    // Fills the record for the interface whose name it already holds.
    void initNetworkInfo(interfaces_t& record);

    interfaces_t network1;  // the camera network
    interfaces_t network2;  // the corporate network
};
