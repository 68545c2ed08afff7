#include "camera/curlobject.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>

#include "camera/redirect_rule.h"
#include "camera/trace_mask.h"

namespace {

constexpr long kTransferTimeoutSeconds = 60;
constexpr long kConnectTimeoutSeconds = 10;
constexpr long kVerifyHostName = 2;
// The address comes from a discovery reply; whatever it holds, only a web request may follow.
constexpr const char* kCameraProtocols = "http,https";
// Cameras are asked over plain http; a redirect may not change that.
constexpr const char* kRedirectProtocols = "http";
// Empty: no proxy, whatever http_proxy, HTTPS_PROXY or ALL_PROXY say, since a proxy would see
// every password in a request.
constexpr const char* kNoProxy = "";

std::string masked(const std::string& password)
{
    return password.empty() ? std::string() : std::string(kPasswordMask);
}

}  // namespace

std::string percentEncode(const std::string& text)
{
    if (text.empty())
        return text;
    // The handle argument is not used by the library for escaping.
    char* escaped = curl_easy_escape(nullptr, text.c_str(), 0);
    if (escaped == nullptr)
        throw std::bad_alloc();
    std::string result(escaped);
    curl_free(escaped);
    return result;
}

bool noHttpAnswer(CURLcode result, long responseCode)
{
    return result != CURLE_OK && (responseCode == 0 || result == CURLE_OPERATION_TIMEDOUT);
}

CurlObject::CurlObject(const std::string& url, const std::string& user, const std::string& password)
    : mUrl(url), mUser(user), mPassword(password)
{
    std::memset(mErrorBuffer, 0, sizeof mErrorBuffer);
    mCurl.reset(curl_easy_init());
    SetDefaultCurlOptions();
    std::cout << Masked(mUrl) << std::endl;
}

CurlObject::CurlObject(const std::string& url, const std::string& user, const std::string& password,
                       const std::string& data)
{
    std::memset(mErrorBuffer, 0, sizeof mErrorBuffer);
    mCurl.reset(curl_easy_init());
    const std::string encoded = EncodeData(data);
    mUrl = data.empty() ? url : url + encoded;
    mUser = user;
    mPassword = password;
    mData = data;
    SetDefaultCurlOptions();
    // The URL ends with the encoded password, so the trace shows the mask in its place.
    std::cout << "mUrl: " << Masked(url) << masked(encoded) << std::endl;
    std::cout << "mAuth: " << Masked(user) << ":" << masked(password) << std::endl;
}

std::string CurlObject::EncodeData(std::string text)
{
    if (text.empty())
        return text;
    const std::string encoded = percentEncode(text);
    std::cout << "ENCODED PW: " << masked(encoded) << std::endl;
    return encoded;
}

void CurlObject::SetDefaultCurlOptions()
{
    CURL* curl = mCurl.get();
    if (curl == nullptr)
        return;
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, kTransferTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, mErrorBuffer);
    curl_easy_setopt(curl, CURLOPT_URL, mUrl.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_DIGEST));
    // Apart, not joined by ":": a user ID may itself hold a ":".
    curl_easy_setopt(curl, CURLOPT_USERNAME, mUser.c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, mPassword.c_str());
    curl_easy_setopt(curl, CURLOPT_HEADER, 0L);
    // Redirects are followed by Get(), which first checks where they lead.
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_PROXY, kNoProxy);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, kVerifyHostName);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &CurlObject::HeaderWriter);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, kCameraProtocols);
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, kRedirectProtocols);
}

bool CurlObject::Get()
{
    CURL* curl = Begin();
    if (curl == nullptr)
        return false;
    CURLcode result = curl_easy_perform(curl);
    while (NextHop(result))
        result = curl_easy_perform(curl);
    return Finish(result);
}

CURL* CurlObject::Begin()
{
    CURL* curl = mCurl.get();
    if (curl == nullptr) {
        // Without a handle nothing was sent: that is no answer, not an empty one.
        std::snprintf(mErrorBuffer, sizeof mErrorBuffer, "no transfer handle, nothing sent");
        std::cout << GetLastError() << std::endl;
        return nullptr;
    }
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &CurlObject::BodyWriter);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
    mCurrentUrl = mUrl;
    mRedirects = 0;
    mRedirectRefused = false;
    return curl;
}

bool CurlObject::NextHop(CURLcode result)
{
    CURL* curl = mCurl.get();
    char* location = nullptr;
    if (result != CURLE_OK || curl == nullptr ||
        curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &location) != CURLE_OK || location == nullptr)
        return false;
    const std::string target(location);
    const std::string shown = Masked(withoutQuery(target));
    if (mRedirects == kMaxRedirects || !sameCameraOverHttp(mCurrentUrl, target)) {
        std::snprintf(mErrorBuffer, sizeof mErrorBuffer, "%s",
                      (mRedirects == kMaxRedirects ? "more than " + std::to_string(kMaxRedirects) +
                                                         " redirects, not followed: " + shown
                                                   : "redirect off the camera, not followed: " + shown)
                          .c_str());
        mRedirectRefused = true;
        return false;
    }
    std::cout << "redirect to " << shown << std::endl;
    mCurrentUrl = target;
    ++mRedirects;
    mResponseBody.clear();  // the answer is the last hop's
    curl_easy_setopt(curl, CURLOPT_URL, mCurrentUrl.c_str());
    return true;
}

bool CurlObject::Finish(CURLcode result)
{
    const bool completed = result == CURLE_OK && !mRedirectRefused;
    if (!completed) {
        mResponseBody.clear();
        if (mTooLarge)
            std::snprintf(mErrorBuffer, sizeof mErrorBuffer,
                          "answer larger than %zu bytes, transfer stopped", kMaxAnswerBytes);
        else if (mErrorBuffer[0] == '\0')
            std::snprintf(mErrorBuffer, sizeof mErrorBuffer, "%s", curl_easy_strerror(result));
        std::cout << GetLastError() << std::endl;
    }

    long code = 0;
    if (mCurl)
        curl_easy_getinfo(mCurl.get(), CURLINFO_RESPONSE_CODE, &code);
    mResponseCode = code;
    mNoAnswer = noHttpAnswer(result, code);
    return completed;
}

std::string CurlObject::GetLastError() const
{
    // The library's own text may quote the URL or a host, and with them a password.
    return Masked(std::string(mErrorBuffer, strnlen(mErrorBuffer, sizeof mErrorBuffer)));
}

std::string CurlObject::Masked(const std::string& text) const
{
    return maskPasswords(text, {mPassword, mData});
}

std::size_t CurlObject::StringWriter(char* data, std::size_t size, std::size_t count, std::string* target)
{
    if (target == nullptr)
        return 0;
    target->append(data, size * count);
    return size * count;
}

std::size_t CurlObject::Collect(char* data, std::size_t size, std::size_t count, std::string* target)
{
    const std::size_t bytes = size * count;
    if (bytes > kMaxAnswerBytes - mReceivedBytes) {
        mTooLarge = true;
        return 0;  // anything but the full count makes the library abort the transfer
    }
    mReceivedBytes += bytes;
    return StringWriter(data, size, count, target);
}

std::size_t CurlObject::BodyWriter(char* data, std::size_t size, std::size_t count, void* self)
{
    auto* object = static_cast<CurlObject*>(self);
    return object->Collect(data, size, count, &object->mResponseBody);
}

std::size_t CurlObject::HeaderWriter(char* data, std::size_t size, std::size_t count, void* self)
{
    auto* object = static_cast<CurlObject*>(self);
    return object->Collect(data, size, count, &object->mResponseHeader);
}
