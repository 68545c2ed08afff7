// Reading the camera's plain-text answers: words of the form key=value.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct KeyValue {
    std::string key;
    std::string value;
};

// One entry per white-space separated word, in order. A word without "=" gives an empty key;
// with several "=" the key is the piece before the last one.
std::vector<KeyValue> readKeyValues(const std::string& body);

// The value of the last word whose key is exactly key; nothing when no word has it.
std::optional<std::string> lastValueOf(const std::string& body, const std::string& key);
