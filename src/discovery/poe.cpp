#include "discovery/poe.h"

#include <fcntl.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iostream>

#include "utils/unique_fd.h"

namespace {

constexpr const char* kPoeDevice = "/dev/poe";

// What the driver reads for one port: port first, then state, 8 bytes in all.
struct PortRequest {
    int32_t port;
    int32_t state;
};
static_assert(sizeof(PortRequest) == 8, "the driver expects 8 bytes");

// Read-write request of type 1, number 0, carrying one PortRequest.
constexpr unsigned long kSetPortRequest = _IOWR(1, 0, PortRequest);
static_assert(kSetPortRequest == 0xC0080100, "request number of the driver");

// Opens the device once for the ports first to last - 1; a port the driver refuses is traced
// and the others are still set.
void setPorts(int32_t first, int32_t last, int32_t state)
{
    // Close-on-exec: a command started meanwhile must not hold the switch's device.
    UniqueFd device(open(kPoeDevice, O_RDWR | O_CLOEXEC));
    std::cout << "fd: " << device.get() << std::endl;
    // Without the device there is nothing to ask: sixteen requests on no descriptor would only
    // fail sixteen times.
    if (!device.valid()) {
        std::cout << "cannot open " << kPoeDevice << ": " << std::strerror(errno) << std::endl;
        return;
    }
    std::cout << "cmd: " << static_cast<int32_t>(kSetPortRequest) << std::endl;

    for (int32_t port = first; port < last; ++port) {
        PortRequest request{port, state};
        const int ret = ioctl(device.get(), kSetPortRequest, &request);
        std::cout << "ret: " << ret << std::endl;
    }
}

}  // namespace

void throttle_switchports(int state)
{
    if (state > 1)
        return;
    setPorts(0, kPoePortCount, state);
}

void switch_port(int port, int state)
{
    if (state > 1 || port < 0 || port >= kPoePortCount)
        return;
    setPorts(port, port + 1, state);
}
