// HttpMessages: a request as glyphtint-serve's handlers see it and the answer they give,
// without anything of the server that carries them.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace glyphtint::tools {

struct HttpRequest {
    std::string method;
    std::string target;      // the request target as sent: path and raw query, undecoded
    std::string ifNoneMatch; // the If-None-Match header, empty when there is none
};

struct HttpAnswer {
    int status = 200;
    std::string contentType; // empty for an answer without a body (304)
    std::string body;        // for HEAD too: the server sends only its length
    std::vector<std::pair<std::string, std::string>> headers;
};

// Takes the answer of a request that was not answered at once; called once, from a
// renderer's thread.
using Reply = std::function<void(HttpAnswer&& answer)>;

} // namespace glyphtint::tools
