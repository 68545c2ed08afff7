#include "camera/trace_mask.h"

#include <algorithm>
#include <cctype>

#include "camera/curlobject.h"

namespace {

std::string lowerHex(std::string encoded)
{
    // Only the two digits after each "%" change: the unreserved letters stay as they are.
    for (std::size_t at = encoded.find('%'); at != std::string::npos; at = encoded.find('%', at + 1))
        for (std::size_t digit = at + 1; digit < at + 3 && digit < encoded.size(); ++digit)
            encoded[digit] = static_cast<char>(std::tolower(static_cast<unsigned char>(encoded[digit])));
    return encoded;
}

std::string plusForSpace(std::string encoded)
{
    for (std::size_t at = encoded.find("%20"); at != std::string::npos; at = encoded.find("%20", at + 1))
        encoded.replace(at, 3, "+");
    return encoded;
}

}  // namespace

std::vector<std::string> passwordForms(const std::string& password)
{
    if (password.empty())
        return {};
    const std::string upper = percentEncode(password);
    std::vector<std::string> forms = {password, upper, lowerHex(upper), plusForSpace(upper),
                                      plusForSpace(lowerHex(upper))};
    // A password starting with a NUL encodes to nothing, and an empty form would match everywhere.
    forms.erase(std::remove(forms.begin(), forms.end(), std::string()), forms.end());
    std::sort(forms.begin(), forms.end());
    forms.erase(std::unique(forms.begin(), forms.end()), forms.end());
    return forms;
}

std::string maskPasswords(std::string text, const std::vector<std::string>& passwords)
{
    std::vector<std::string> forms;
    for (const std::string& password : passwords)
        for (std::string& form : passwordForms(password))
            forms.push_back(std::move(form));
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
