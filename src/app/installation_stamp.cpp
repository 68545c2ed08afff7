#include "app/installation_stamp.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "utils/atomic_file.h"

namespace {

constexpr mode_t kFolderMode = 0755;

// Makes each missing folder of path's parent; an error number, or 0.
int makeFolders(const std::string& path)
{
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (::mkdir(folder.c_str(), kFolderMode) == 0) {
            // The umask may have taken the others' search right away.
            if (::chmod(folder.c_str(), kFolderMode) != 0)
                return errno;
        } else if (errno != EEXIST) {
            return errno;
        }
    }
    return 0;
}

}  // namespace

std::string installationStampText(std::time_t when)
{
    std::tm local {};
    if (::localtime_r(&when, &local) == nullptr)
        return {};
    char date[32];
    char offset[8];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    std::strftime(offset, sizeof offset, "%z", &local);
    const std::string zone = offset;  // +0100
    return std::string(date) + zone.substr(0, 3) + ":" + zone.substr(3) + "\n";
}

bool writeInstallationStamp(const std::string& path, std::time_t when)
{
    if (const int error = makeFolders(path); error != 0) {
        std::cout << "Failed to write " << path << ": " << std::strerror(error) << std::endl;
        return false;
    }
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
    if (const auto failure =
            Utils::writeFileAtomically(folder, path.substr(slash + 1), installationStampText(when))) {
        std::cout << "Failed to write " << path << ": " << *failure << std::endl;
        return false;
    }
    return true;
}
