#include "camera/key_value.h"

#include "utils/address.h"

std::vector<KeyValue> readKeyValues(const std::string& body)
{
    std::vector<KeyValue> entries;
    for (std::string word : Utils::split(body)) {
        std::string key;
        std::string::size_type equals;
        while ((equals = word.find('=')) != std::string::npos) {
            key = word.substr(0, equals);
            word.erase(0, equals + 1);
        }
        entries.push_back({key, word});
    }
    return entries;
}

std::optional<std::string> lastValueOf(const std::string& body, const std::string& key)
{
    std::optional<std::string> value;
    for (const KeyValue& entry : readKeyValues(body))
        if (entry.key == key)
            value = entry.value;
    return value;
}
