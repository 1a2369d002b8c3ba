// HttpServer: GNU libmicrohttpd's daemon with its own pool of threads, held for the life
// of the object, each request handed whole to a handler.
#pragma once

#include "serve/HttpMessages.h"

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
    // Past it, a new connection closes the one idle the longest (or else the one slowest
    // to send its request) rather than wait.
    unsigned connectionLimit = 256;
    unsigned perAddressLimit = 32; // not on a loopback address: connectionLimit there
    // A connection that sends nothing this long is closed, even while it is answered.
    unsigned timeoutSeconds = 10;
    // A connection must send its request's head whole within this long of its start or
    // of its last answer (a client sending a byte a second, an idle keep-alive).
    unsigned headerTimeoutSeconds = 5;
    std::size_t connectionMemory = 32 * 1024; // the request line and headers must fit
};

// One line of the access log.
struct LoggedRequest {
    std::string method; // "-" when the request was refused before its headers were read
    std::string target;
    int status = 0; // 0: no answer was sent whole (the connection closed first)
    std::size_t bytes = 0;
    double milliseconds = 0;
};

class HttpServer {
public:
    // Answers at once, or takes the request (giving nothing) and hands its answer to the
    // reply later, from any thread: the connection waits suspended meanwhile, and the
    // daemon's threads serve others. The handler's own thread never calls the reply.
    using Handler = std::function<std::optional<HttpAnswer>(const HttpRequest&, Reply)>;
    // Told of every request once it is over, answered or not, refused by the daemon itself
    // too; from the daemon's threads.
    using Logger = std::function<void(const LoggedRequest&)>;

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
