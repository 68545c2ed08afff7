// What the device tests need of the camera lab: the simulated cameras' files, waiting for
// their state, and the passwords that must never reach standard output.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "utils/unique_fd.h"

namespace lab {

// The cameras of lab_cameras.json.
constexpr const char* kFresh = "fresh";    // factory-new, DHCP
constexpr const char* kDefault = "dflt";   // admin with the factory password, static 192.168.1.64/24
constexpr const char* kUsers = "users";    // three accounts with passwords of their own, one user ID
                                           // holding ":", DHCP
constexpr const char* kOkLine = "okline";  // answers a password change with "OK" and a line end;
                                           // its discovery reply is one byte short
constexpr const char* kHuge = "huge";      // pads every answer to 16 MiB
constexpr const char* kChunky = "chunky";  // pads every answer to 300000 bytes

// Registers a password used by the tests; the run fails if it shows up in standard output.
std::string secret(const std::string& password);
const std::vector<std::string>& secrets();

// A value of the camera's state.json, by a Python expression over it as `s`.
std::string state(const std::string& camera, const std::string& expression);
// The address the camera has now; empty while it has none.
std::string address(const std::string& camera);

// The folder of the lab instance this process runs in (`lab run` and `lab exec` say which).
std::string labDir();

// A file of the lab's own, by its place under the lab's folder (such as "dhcpd/dhcpd.leases").
std::string labPath(const std::string& relative);

// The file's text from an earlier size of it on (by default the whole file).
std::string fileText(const std::string& path, std::size_t since = 0);
std::string cameraFile(const std::string& camera, const std::string& name);

// Changes the camera's configuration as `lab camera NAME set SETTINGS` does (faults and their
// knobs apply at once); false when the lab refused.
bool setCamera(const std::string& camera, const std::string& settings);

// Polls until the condition holds; false when it still does not after the limit.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::seconds limit = std::chrono::seconds(60));

// Every camera powered with an address, as after the lab came up.
bool waitAllReady();

// Lines of the camera's request log written after `since` bytes, without their time stamps.
std::vector<std::string> requestsSince(const std::string& camera, std::size_t since);

// Runs the lab command of the session (`lab ARGUMENTS`, its output dropped); true on exit 0.
bool command(const std::string& arguments);

// A socket made in one of the lab's network namespaces ("site", "nvr" or a camera's name); it
// stays in that namespace's network whichever thread uses it. Invalid when that failed.
UniqueFd socketIn(const std::string& where, int type);
// A TCP listener on every address of that namespace, on the port.
UniqueFd listenerIn(const std::string& where, uint16_t port);
// Whether anybody has connected to the listener since the last call.
bool connected(int listener);

}  // namespace lab
