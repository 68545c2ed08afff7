#include "camera/redirect_rule.h"

#include <curl/curl.h>

#include <memory>
#include <optional>

namespace {

struct UrlCleanup {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlCleanup>;

std::optional<std::string> part(const UrlHandle& url, CURLUPart which, unsigned int flags = 0)
{
    char* text = nullptr;
    if (curl_url_get(url.get(), which, &text, flags) != CURLUE_OK || text == nullptr)
        return std::nullopt;
    std::string result(text);
    curl_free(text);
    return result;
}

struct Origin {
    std::string scheme;
    std::string host;
    std::string port;
};

// Scheme, host and port (the scheme's own when none is written); nothing for a URL with user
// information or one the library cannot read. With `guessScheme` a URL without one gets the
// scheme the transfer itself would guess.
std::optional<Origin> originOf(const std::string& url, bool guessScheme)
{
    const unsigned int flags = CURLU_NON_SUPPORT_SCHEME | (guessScheme ? CURLU_GUESS_SCHEME : 0u);
    UrlHandle handle(curl_url());
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), flags) != CURLUE_OK)
        return std::nullopt;
    if (part(handle, CURLUPART_USER) || part(handle, CURLUPART_PASSWORD) || part(handle, CURLUPART_OPTIONS))
        return std::nullopt;
    const auto scheme = part(handle, CURLUPART_SCHEME);
    const auto host = part(handle, CURLUPART_HOST);
    const auto port = part(handle, CURLUPART_PORT, CURLU_DEFAULT_PORT);
    if (!scheme || !host || !port)
        return std::nullopt;
    return Origin{*scheme, *host, *port};
}

}  // namespace

bool sameCameraOverHttp(const std::string& from, const std::string& target)
{
    const auto source = originOf(from, true);
    const auto destination = originOf(target, false);
    return source && destination && destination->scheme == "http" && source->scheme == "http" &&
           destination->host == source->host && destination->port == source->port;
}

std::string withoutQuery(const std::string& target)
{
    return target.substr(0, target.find_first_of("?#"));
}
