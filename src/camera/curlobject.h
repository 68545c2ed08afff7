// One HTTP GET to a camera with digest authentication: created for one request, then destroyed.
#pragma once

#include <curl/curl.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Percent-encodes every byte but ASCII letters, digits and "-", ".", "_", "~".
std::string percentEncode(const std::string& text);

// The camera gave no answer to go on with: the transfer timed out, or it ended (refused, reset,
// closed) before any HTTP status came. An HTTP status, even an error, is an answer.
bool noHttpAnswer(CURLcode result, long responseCode);

class CurlObject {
public:
    CurlObject(const std::string& url, const std::string& user, const std::string& password);
    // Appends the data, percent-encoded, to the URL; the data is a password and never traced.
    CurlObject(const std::string& url, const std::string& user, const std::string& password,
               const std::string& data);
    virtual ~CurlObject() = default;

    CurlObject(const CurlObject&) = delete;
    CurlObject& operator=(const CurlObject&) = delete;

    std::string EncodeData(std::string text);

    // True when the transfer completed, whatever the HTTP status. A redirect is followed only to
    // the same camera over http, at most kMaxRedirects times; any other ends the request as failed.
    bool Get();

    // The same transfer in steps, for a caller that drives the handle itself (side by side with
    // others): Begin() readies the handle, null when there is none (the error is traced then);
    // after each run of the handle, NextHop(result) says whether a redirect is to be followed
    // (the handle then points at it and is run again); Finish(result) ends it as Get() does.
    CURL* Begin();
    CURL* handle() const { return mCurl.get(); }
    bool NextHop(CURLcode result);
    bool Finish(CURLcode result);

    // Why the request failed, with the request's passwords masked; empty when it did not.
    std::string GetLastError() const;
    std::string GetResponseBody() const { return mResponseBody; }
    std::string GetResponseHeader() const { return mResponseHeader; }
    int64_t GetResponseCode() const { return mResponseCode; }
    // After Finish(): the camera gave no answer (noHttpAnswer), so asking it more would only wait again.
    bool GaveNoAnswer() const { return mNoAnswer; }

    // Appends size * count bytes to target; with no target it takes nothing, which aborts.
    static std::size_t StringWriter(char* data, std::size_t size, std::size_t count, std::string* target);

    // No camera answer comes near this; more than this in body and headers stops the transfer.
    static constexpr std::size_t kMaxAnswerBytes = 1024 * 1024;

private:
    struct CurlCleanup {
        void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
    };

    void SetDefaultCurlOptions();
    // The text with every form of the request's passwords masked, for traces.
    std::string Masked(const std::string& text) const;
    std::size_t Collect(char* data, std::size_t size, std::size_t count, std::string* target);
    static std::size_t BodyWriter(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t HeaderWriter(char* data, std::size_t size, std::size_t count, void* self);

    std::unique_ptr<CURL, CurlCleanup> mCurl;
    char mErrorBuffer[CURL_ERROR_SIZE];
    std::string mUrl;
    std::string mUser;
    std::string mPassword;
    std::string mData;
    std::string mResponseBody;
    std::string mResponseHeader;
    int64_t mResponseCode = 0;
    bool mNoAnswer = false;
    std::size_t mReceivedBytes = 0;
    bool mTooLarge = false;
    std::string mCurrentUrl;
    int mRedirects = 0;
    bool mRedirectRefused = false;
};
