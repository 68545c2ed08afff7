// Reading a fuzz input as the texts a target needs: one per line, so the seeds stay readable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline std::string textOf(const uint8_t* data, std::size_t size)
{
    return std::string(reinterpret_cast<const char*>(data), size);
}

// The lines without their '\n'; the text after the last '\n' is a line too, even when empty.
inline std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

// Line index of text, or "" when the text has fewer lines.
inline std::string lineOf(const std::vector<std::string>& lines, std::size_t index)
{
    return index < lines.size() ? lines[index] : std::string();
}
