// RenderService: what glyphtint-serve answers to one HTTP request, without sockets: the
// pictures and description glyphtint-render makes of the text in the query, their cache
// tags, and the errors of a bad query as the tool words them.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
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

struct ServiceLimits {
    std::size_t maxTextBytes = 4096;
    int renderers = 1;      // renders at once
    int waitingRenders = 4; // renders that may wait for a renderer; past them 503
};

// One open glyph pack and the digest of its bytes, shared by every request served from it.
struct PackFile;

class RenderService {
public:
    // Opens the pack at archive; raises its error when it cannot be opened.
    RenderService(std::string archive, ServiceLimits limits);
    ~RenderService();
    RenderService(const RenderService&) = delete;
    RenderService& operator=(const RenderService&) = delete;

    // Opens the archive anew (an updated pack), which later requests are served from.
    // Raises the error of opening it and then keeps serving the pack before.
    void Reload();

    // Thread-safe: every calling thread draws with a pack of its own.
    HttpAnswer Answer(const HttpRequest& request);

private:
    HttpAnswer AnswerPicture(const HttpRequest& request, std::string_view path, std::string_view query);
    std::shared_ptr<const PackFile> Current() const;

    const std::string archive_;
    const ServiceLimits limits_;
    mutable std::mutex mutex_;
    std::shared_ptr<const PackFile> current_;
    // Renders running or waiting for a renderer, and how many run.
    std::mutex renderMutex_;
    std::condition_variable renderFree_;
    int rendersInFlight_ = 0;
    int rendersRunning_ = 0;
};

} // namespace glyphtint::tools
