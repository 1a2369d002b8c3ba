// HttpServer: GNU libmicrohttpd's daemon with its own pool of threads, held for the life
// of the object, each request handed whole to a handler.
#pragma once

#include "tools/RenderService.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace glyphtint::tools {

struct ServerSettings {
    std::string host = "127.0.0.1";
    std::uint16_t port = 8080; // 0: a free port
    unsigned threads = 1;
    unsigned connectionLimit = 256;
    unsigned perAddressLimit = 32; // not on a loopback address: connectionLimit there
    // A connection idle this long is closed, and so is one whose request has not come
    // whole within it (a client sending a byte a second).
    unsigned timeoutSeconds = 10;
    std::size_t connectionMemory = 32 * 1024; // the request line and headers must fit
};

class HttpServer {
public:
    // Answers at once, or takes the request (giving nothing) and hands its answer to the
    // reply later, from any thread: the connection waits suspended meanwhile, and the
    // daemon's threads serve others. The handler's own thread never calls the reply.
    using Handler = std::function<std::optional<HttpAnswer>(const HttpRequest&, Reply)>;
    // Told of every answer as it is queued, with the milliseconds it took.
    using Logger = std::function<void(const HttpRequest&, const HttpAnswer&, double milliseconds)>;

    // Listens and starts serving; raises std::runtime_error saying why it cannot
    // ("Cannot listen on 127.0.0.1:8080: Address already in use").
    HttpServer(const ServerSettings& settings, Handler handler, Logger logger);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    std::uint16_t Port() const;
    // Stops accepting connections and waits, at most for timeout, until no request is
    // being answered; false when some still were.
    bool Drain(std::chrono::milliseconds timeout);

    struct State;

private:
    std::unique_ptr<State> state_;
};

} // namespace glyphtint::tools
