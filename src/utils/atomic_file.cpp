#include "utils/atomic_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "utils/unique_fd.h"

namespace Utils {

namespace {

std::string reason(const char* step)
{
    return std::string(step) + ": " + std::strerror(errno);
}

// write() may take less than asked, and a signal may interrupt it.
bool writeAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::optional<std::string> writeFileAtomically(const std::string& folder, const std::string& name,
                                               const std::string& text)
{
    const std::string target = folder + "/" + name;
    // A dot name, so that a file manager on the stick does not show it while it is written.
    std::string pattern = folder + "/." + name + ".XXXXXX";
    std::vector<char> temporary(pattern.begin(), pattern.end());
    temporary.push_back('\0');

    UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.valid())
        return reason("cannot create");
    // Readable by all as any saved document; a stick's FAT has no modes and may refuse this.
    (void)::fchmod(fd.get(), 0644);
    std::optional<std::string> failure;
    if (!writeAll(fd.get(), text))
        failure = reason("cannot write");
    else if (::fsync(fd.get()) != 0)
        failure = reason("cannot flush");
    else if (fd.close() != 0)
        failure = reason("cannot close");
    else if (::rename(temporary.data(), target.c_str()) != 0)
        failure = reason("cannot rename");
    if (failure) {
        ::unlink(temporary.data());
        return failure;
    }
    // The rename reaches the medium with its folder; a stick pulled right after keeps the file.
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid())
        ::fsync(dir.get());
    return std::nullopt;
}

}  // namespace Utils
