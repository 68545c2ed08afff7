// The names a folder holds, without "." and "..": what a test expects a write to leave behind.
#pragma once

#include <dirent.h>

#include <cstring>
#include <string>
#include <vector>

inline std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir))
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names.emplace_back(entry->d_name);
        closedir(dir);
    }
    return names;
}
