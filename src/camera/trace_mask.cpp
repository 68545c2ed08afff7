#include "camera/trace_mask.h"

#include <algorithm>

#include "camera/curlobject.h"

std::string maskPasswords(std::string text, const std::vector<std::string>& passwords)
{
    std::vector<std::string> forms;
    for (const std::string& password : passwords) {
        if (password.empty())
            continue;
        forms.push_back(password);
        const std::string encoded = percentEncode(password);
        // A password starting with a NUL encodes to nothing, and an empty form would match everywhere.
        if (!encoded.empty() && encoded != password)
            forms.push_back(encoded);
    }
    if (forms.empty())
        return text;
    // Longest first, so a password inside another is never masked by halves.
    std::stable_sort(forms.begin(), forms.end(),
                     [](const std::string& a, const std::string& b) { return a.size() > b.size(); });

    // One pass over the text: a mask already written is never searched again.
    std::string masked;
    masked.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto found = std::find_if(forms.begin(), forms.end(), [&](const std::string& form) {
            return text.compare(at, form.size(), form) == 0;
        });
        if (found == forms.end()) {
            masked.push_back(text[at++]);
            continue;
        }
        masked += kPasswordMask;
        at += found->size();
    }
    return masked;
}
