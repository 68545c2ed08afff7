// Which redirects of a camera the transport follows: a camera may move a page on its own
// address, but a redirect elsewhere would carry the request, and with it a password, off it.
#pragma once

#include <string>

// Redirects followed for one request; one more ends it as failed.
inline constexpr int kMaxRedirects = 3;

// True when `target` is an http URL naming the same host and port as `from`, with no user
// information of its own. `from` may lack a scheme, as the camera URLs do; `target` may not.
bool sameCameraOverHttp(const std::string& from, const std::string& target);

// The target as far as its path: a query or fragment may hold a password, so traces leave them out.
std::string withoutQuery(const std::string& target);
