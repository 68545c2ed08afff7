#include "camera/key_value.h"

#include "utils/address.h"

std::vector<KeyValue> readKeyValues(const std::string& body)
{
    std::vector<KeyValue> entries;
    for (const std::string& word : Utils::split(body)) {
        // Found from the end, so a word of many "=" is read once, not once per "=".
        const std::string::size_type last = word.rfind('=');
        if (last == std::string::npos) {
            entries.push_back({std::string(), word});
            continue;
        }
        const std::string::size_type before = last == 0 ? std::string::npos : word.rfind('=', last - 1);
        const std::string::size_type keyStart = before == std::string::npos ? 0 : before + 1;
        entries.push_back({word.substr(keyStart, last - keyStart), word.substr(last + 1)});
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
