// Whether a static address typed for a camera may be used while the recorder's DHCP server runs.
#pragma once

#include <string>

// True when the static address may be used: inside the recorder's network by its mask and outside the DHCP pool.
// The pool is poolStart..poolEnd as whole addresses (empty when start lies above end). Traces its working to
// standard output. False also for a recorder address of class D or E or of no class, and for any text that is
// not a dotted address (the mask: not a contiguous mask).
bool isStaticOutOfDhcpRange(std::string recorderAddress, std::string staticAddress, std::string mask,
                            const std::string& poolStart, const std::string& poolEnd);
