#include "lab_support.h"

#include <fstream>
#include <sstream>
#include <thread>

#include "utils/command.h"

namespace lab {

namespace {

constexpr const char* kLabDir = "/run/velnor-lab";
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

std::string cameraFile(const std::string& camera, const std::string& name)
{
    return std::string(kLabDir) + "/cameras/" + camera + "/" + name;
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

}  // namespace lab
