#include "lab_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "utils/command.h"

namespace lab {

namespace {

constexpr const char* kDefaultLabDir = "/run/velnor-lab";
// Where `ip netns` keeps the namespaces; the lab names its own "vlab-NAME" (instance 0) or
// "vlabN-NAME" (instance N).
constexpr const char* kNetnsDir = "/run/netns/";

std::string namespacePath(const std::string& where)
{
    const char* instance = std::getenv("VELNOR_LAB_INSTANCE");
    const std::string number = instance != nullptr && std::string(instance) != "0" ? instance : "";
    return kNetnsDir + std::string("vlab") + number + "-" + where;
}
constexpr const char* kPython = "/usr/bin/python3";
constexpr auto kPollInterval = std::chrono::milliseconds(100);

std::string withoutLineEnd(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

}  // namespace

namespace {

std::vector<std::string>& registeredSecrets()
{
    static std::vector<std::string> all;
    return all;
}

}  // namespace

std::string secret(const std::string& password)
{
    registeredSecrets().push_back(password);
    return password;
}

const std::vector<std::string>& secrets()
{
    return registeredSecrets();
}

std::string labDir()
{
    const char* dir = std::getenv("VELNOR_LAB_DIR");
    return dir != nullptr && *dir != '\0' ? dir : kDefaultLabDir;
}

std::string labPath(const std::string& relative)
{
    return labDir() + "/" + relative;
}

std::string cameraFile(const std::string& camera, const std::string& name)
{
    return labPath("cameras/" + camera + "/" + name);
}

std::string fileText(const std::string& path, std::size_t since)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    const std::string all = text.str();
    return since < all.size() ? all.substr(since) : std::string();
}

std::string state(const std::string& camera, const std::string& expression)
{
    // The file is replaced atomically, so one read sees one whole state; while a camera restarts
    // there is none, and the answer is empty.
    const std::string command = std::string(kPython) + " -c 'import json; s = json.load(open(\"" +
                                cameraFile(camera, "state.json") + "\")); print(" + expression + ")' 2>/dev/null";
    int exitCode = 0;
    return withoutLineEnd(Utils::execCommand(command, exitCode));
}

std::string address(const std::string& camera)
{
    return state(camera, "s[\"live\"][\"address\"] or \"\"");
}

bool setCamera(const std::string& camera, const std::string& settings)
{
    // The lab's command beside this file's folder: tests/lab/lab.
    const std::string here = __FILE__;
    const std::string command = here.substr(0, here.rfind('/')) + "/../lab/lab";
    int exitCode = 0;
    Utils::execCommand(command + " camera " + camera + " set " + settings + " 2>&1",
                       exitCode);
    return exitCode == 0;
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::seconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

bool waitAllReady()
{
    for (const char* camera : {kFresh, kDefault, kUsers, kOkLine, kHuge, kChunky}) {
        const bool ready = waitUntil([camera] {
            return state(camera, "s[\"power\"]") == "on" && !address(camera).empty();
        });
        if (!ready)
            return false;
    }
    return true;
}

std::vector<std::string> requestsSince(const std::string& camera, std::size_t since)
{
    std::vector<std::string> lines;
    std::istringstream in(fileText(cameraFile(camera, "requests.log"), since));
    std::string line;
    while (std::getline(in, line)) {
        const auto blank = line.find(' ');  // after the time stamp
        lines.push_back(blank == std::string::npos ? line : line.substr(blank + 1));
    }
    return lines;
}

bool command(const std::string& arguments)
{
    const char* labCommand = std::getenv("VELNOR_LAB");
    if (labCommand == nullptr)
        return false;
    int exitCode = -1;
    Utils::execCommand(std::string(labCommand) + " " + arguments + " >/dev/null 2>&1", exitCode);
    return exitCode == 0;
}

UniqueFd socketIn(const std::string& where, int type)
{
    // A thread of its own enters the namespace, so the test's own threads stay where they are.
    UniqueFd made;
    std::thread([&] {
        UniqueFd space(open(namespacePath(where).c_str(), O_RDONLY | O_CLOEXEC));
        if (space.valid() && setns(space.get(), CLONE_NEWNET) == 0)
            made.reset(socket(AF_INET, type | SOCK_CLOEXEC, 0));
    }).join();
    return made;
}

UniqueFd listenerIn(const std::string& where, uint16_t port)
{
    UniqueFd listener = socketIn(where, SOCK_STREAM | SOCK_NONBLOCK);
    const int on = 1;
    setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(port);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(listener.get(), reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0 ||
        listen(listener.get(), 16) != 0)
        listener.reset();
    return listener;
}

bool connected(int listener)
{
    bool any = false;
    for (UniqueFd peer(accept(listener, nullptr, nullptr)); peer.valid(); peer.reset(accept(listener, nullptr, nullptr)))
        any = true;
    return any;
}

}  // namespace lab
