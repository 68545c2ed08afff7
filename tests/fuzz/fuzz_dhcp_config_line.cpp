// Every line of an existing dhcpd.conf through the reader: the page gets only lease times and
// client counts that are finite and at least the page's floor, and only dotted addresses as DNS servers.
#include <cmath>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "fuzz_input.h"
#include "network/dhcp_config_file.h"
#include "quiet_traces.h"
#include "utils/address.h"

namespace {

constexpr double kLeaseHoursFloor = 120;
constexpr double kUsersFloor = 50;

void checkLine(const std::string& line)
{
    const DhcpLineValues values = readDhcpLine(line);
    if (line.empty() || line[0] == '#')
        FUZZ_CHECK(!values.leaseHours && !values.users && !values.primaryDns && !values.secondaryDns);
    if (values.leaseHours)
        FUZZ_CHECK(std::isfinite(*values.leaseHours) && *values.leaseHours >= kLeaseHoursFloor);
    if (values.users)
        FUZZ_CHECK(std::isfinite(*values.users) && *values.users >= kUsersFloor);
    if (values.primaryDns)
        FUZZ_CHECK(Utils::validateIpAddress(*values.primaryDns));
    if (values.secondaryDns)
        FUZZ_CHECK(Utils::validateIpAddress(*values.secondaryDns));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    silenceTraces();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    for (const std::string& line : linesOf(textOf(data, size)))
        checkLine(line);
    return 0;
}
