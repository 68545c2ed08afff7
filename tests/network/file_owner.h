// A file's owner, group and mode as one text ("1234:5678 640"), to compare in one line.
#pragma once

#include <sys/stat.h>

#include <sstream>
#include <string>

// "missing" when there is no such file; a link is described itself, not its target.
inline std::string ownerOf(const std::string& path)
{
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0)
        return "missing";
    std::ostringstream text;
    text << st.st_uid << ":" << st.st_gid << " " << std::oct << (st.st_mode & 07777);
    return text.str();
}
