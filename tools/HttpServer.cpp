// HttpServer: the listening socket made here (its errors named), libmicrohttpd's pool
// serving it, the raw request target kept from the request line (libmicrohttpd decodes
// the path and stops query values at a NUL), and a watch over slow clients.
#include "tools/HttpServer.h"

#include <microhttpd.h>

#include <arpa/inet.h>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <optional>
#include <stdexcept>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <unordered_set>

namespace glyphtint::tools {
namespace {

using Clock = std::chrono::steady_clock;

// A request handed on to be answered later, its connection suspended meanwhile.
struct Parked {
    std::mutex mutex;
    MHD_Connection* connection = nullptr;
    std::optional<HttpAnswer> answer;
};

// One request from its request line to its answer.
struct RequestContext {
    std::string target;
    const char* line = nullptr; // where the daemon holds the target in the request line
    Clock::time_point start = Clock::now();
    bool headersSeen = false;
    HttpRequest request;            // kept for the log while parked
    std::shared_ptr<Parked> parked; // set while suspended or resuming
};

// One connection, watched while it has no request being answered.
struct ConnectionWatch {
    int fd = -1;
    Clock::time_point since = Clock::now();
    bool busy = false;
};

class Socket {
public:
    explicit Socket(int fd) : fd_(fd) { }
    ~Socket()
    {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Socket(Socket&& other) noexcept : fd_(other.Release()) { }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int Get() const { return fd_; }
    int Release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

} // namespace

struct HttpServer::State {
    Handler handler;
    Logger logger;
    ServerSettings settings;
    MHD_Daemon* daemon = nullptr;
    std::uint16_t port = 0;

    std::mutex mutex;
    std::condition_variable changed;
    int requests = 0;
    std::unordered_set<ConnectionWatch*> watches;
    bool stopping = false;
    std::thread watchdog;
    // Connections suspended or resuming: the daemon may only stop without any.
    int parked = 0;

    void Unpark(RequestContext& context)
    {
        if (context.parked) {
            context.parked.reset();
            const std::lock_guard lock(mutex);
            --parked;
            changed.notify_all();
        }
    }

    void Watch()
    {
        std::unique_lock lock(mutex);
        while (!stopping) {
            changed.wait_for(lock, std::chrono::milliseconds(250));
            const Clock::time_point now = Clock::now();
            for (ConnectionWatch* watch : watches) {
                if (!watch->busy && now - watch->since > std::chrono::seconds(settings.timeoutSeconds)) {
                    // The daemon then reads the end of the stream and closes the connection.
                    shutdown(watch->fd, SHUT_RDWR);
                    watch->since = Clock::time_point::max() - std::chrono::hours(24 * 365);
                }
            }
        }
    }
};

namespace {

ConnectionWatch* WatchOf(MHD_Connection* connection)
{
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    return info == nullptr ? nullptr : static_cast<ConnectionWatch*>(info->socket_context);
}

void* OnRequestLine(void* cls, const char* uri, MHD_Connection* /*connection*/)
{
    auto* state = static_cast<HttpServer::State*>(cls);
    {
        const std::lock_guard lock(state->mutex);
        ++state->requests;
    }
    auto* context = new (std::nothrow) RequestContext;
    if (context != nullptr) {
        context->target = uri;
        context->line = uri;
    }
    return context;
}

void OnCompleted(void* cls, MHD_Connection* connection, void** requestContext, MHD_RequestTerminationCode /*code*/)
{
    auto* state = static_cast<HttpServer::State*>(cls);
    if (auto* context = static_cast<RequestContext*>(*requestContext)) {
        state->Unpark(*context);
        delete context;
    }
    *requestContext = nullptr;
    const std::lock_guard lock(state->mutex);
    --state->requests;
    if (ConnectionWatch* watch = WatchOf(connection)) {
        watch->busy = false;
        watch->since = Clock::now();
    }
    state->changed.notify_all();
}

void OnConnection(void* cls, MHD_Connection* connection, void** socketContext, MHD_ConnectionNotificationCode code)
{
    auto* state = static_cast<HttpServer::State*>(cls);
    const std::lock_guard lock(state->mutex);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
        const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        auto* watch = new (std::nothrow) ConnectionWatch;
        if (watch != nullptr && info != nullptr) {
            watch->fd = info->connect_fd;
            state->watches.insert(watch);
        }
        *socketContext = watch;
    } else if (auto* watch = static_cast<ConnectionWatch*>(*socketContext)) {
        state->watches.erase(watch);
        delete watch;
        *socketContext = nullptr;
    }
}

// The body is handed to the daemon, which sends it from where it lies and frees it once
// sent: a picture is not copied.
MHD_Result Queue(MHD_Connection* connection, HttpAnswer&& answer)
{
    auto body = std::make_unique<std::string>(std::move(answer.body));
    MHD_Response* response = MHD_create_response_from_buffer_with_free_callback_cls(
        body->size(), body->data(), [](void* owned) { delete static_cast<std::string*>(owned); }, body.get());
    if (response == nullptr) {
        return MHD_NO;
    }
    body.release();
    if (!answer.contentType.empty()) {
        MHD_add_response_header(response, "Content-Type", answer.contentType.c_str());
    }
    for (const auto& [name, value] : answer.headers) {
        MHD_add_response_header(response, name.c_str(), value.c_str());
    }
    const MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(answer.status), response);
    MHD_destroy_response(response);
    return queued;
}

// Hands the request to the handler; when it takes it for later, the connection is
// suspended until the reply resumes it. The reply waits for the suspension: resuming a
// connection not suspended is undefined.
std::optional<HttpAnswer> Dispatch(HttpServer::State& state, MHD_Connection* connection, RequestContext& context,
                                   HttpRequest& request)
{
    auto parked = std::make_shared<Parked>();
    parked->connection = connection;
    const std::lock_guard hold(parked->mutex);
    std::optional<HttpAnswer> now = state.handler(request, [parked](HttpAnswer&& answer) {
        const std::lock_guard lock(parked->mutex);
        parked->answer = std::move(answer);
        MHD_resume_connection(parked->connection);
    });
    if (!now) {
        // Moved, not copied: nothing may fail once the handler has the request.
        context.request = std::move(request);
        context.parked = std::move(parked);
        {
            const std::lock_guard lock(state.mutex);
            ++state.parked;
        }
        MHD_suspend_connection(connection);
    }
    return now;
}

// The call after a resume: the answer the reply brought.
MHD_Result QueueParked(HttpServer::State& state, MHD_Connection* connection, RequestContext& context)
{
    std::optional<HttpAnswer> answer;
    {
        const std::lock_guard lock(context.parked->mutex);
        answer = std::move(context.parked->answer);
    }
    state.Unpark(context);
    if (!answer) {
        return MHD_NO;
    }
    const double milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - context.start).count();
    state.logger(context.request, *answer, milliseconds);
    return Queue(connection, std::move(*answer));
}

// The daemon ends the target where its space was and hands it on as a C string, so a NUL
// byte inside it would cut the rest off unseen ("text=a\0b" drawn as "a"). The version
// follows in the same line right after that one ended space; anything else between is
// what the C string hid.
bool TargetWhole(const RequestContext& context, const char* version)
{
    return version == context.line + context.target.size() + 1;
}

MHD_Result OnRequest(void* cls, MHD_Connection* connection, const char* /*url*/, const char* method,
                     const char* version, const char* /*uploadData*/, std::size_t* uploadDataSize,
                     void** requestContext)
{
    auto* state = static_cast<HttpServer::State*>(cls);
    auto* context = static_cast<RequestContext*>(*requestContext);
    if (context == nullptr) {
        return MHD_NO;
    }
    if (!context->headersSeen) {
        // Answered on the next call, as the daemon asks, once the headers are complete.
        context->headersSeen = true;
        const std::lock_guard lock(state->mutex);
        if (ConnectionWatch* watch = WatchOf(connection)) {
            watch->busy = true;
        }
        return MHD_YES;
    }
    // Nothing the service offers takes a body: what comes is read and dropped.
    *uploadDataSize = 0;
    if (context->parked) {
        return QueueParked(*state, connection, *context);
    }
    HttpRequest request;
    request.method = method;
    request.target = context->target;
    if (const char* tag = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "If-None-Match")) {
        request.ifNoneMatch = tag;
    }
    HttpAnswer answer;
    if (MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Transfer-Encoding") != nullptr &&
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Content-Length") != nullptr) {
        // Which of the two ends the body is where a proxy in front and this server may
        // disagree: what follows could be a request the proxy never saw. Refused, and
        // the connection closed.
        answer = {400,
                  "text/plain; charset=utf-8",
                  "a request may not carry both Transfer-Encoding and Content-Length\n",
                  {{"X-Content-Type-Options", "nosniff"}, {"Connection", "close"}}};
        state->logger(request, answer, 0);
        return Queue(connection, std::move(answer));
    }
    try {
        if (!TargetWhole(*context, version)) {
            answer = {400,
                      "text/plain; charset=utf-8",
                      "the request target holds a NUL byte\n",
                      {{"X-Content-Type-Options", "nosniff"}}};
        } else if (std::optional<HttpAnswer> now = Dispatch(*state, connection, *context, request)) {
            answer = std::move(*now);
        } else {
            return MHD_YES;
        }
    } catch (const std::exception& error) {
        answer = {500, "text/plain; charset=utf-8", std::string(error.what()) + "\n", {}};
    }
    const double milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - context->start).count();
    state->logger(request, answer, milliseconds);
    return Queue(connection, std::move(answer));
}

// The socket listening on host:port, or why there is none.
Socket Listen(const ServerSettings& settings, std::uint16_t& port, bool& loopback)
{
    const std::string where = settings.host + ":" + std::to_string(settings.port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(settings.port);
    if (const int error = getaddrinfo(settings.host.c_str(), service.c_str(), &hints, &found); error != 0) {
        throw std::runtime_error("Cannot listen on " + where + ": " + gai_strerror(error));
    }
    const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, freeaddrinfo);
    Socket listening(socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    const int on = 1;
    if (listening.Get() < 0 || setsockopt(listening.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        bind(listening.Get(), found->ai_addr, found->ai_addrlen) != 0 || listen(listening.Get(), 128) != 0) {
        throw std::runtime_error("Cannot listen on " + where + ": " + std::strerror(errno));
    }
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    if (getsockname(listening.Get(), reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        throw std::runtime_error("Cannot listen on " + where + ": " + std::strerror(errno));
    }
    port = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                             : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    if (bound.ss_family == AF_INET6) {
        const in6_addr& address = reinterpret_cast<sockaddr_in6*>(&bound)->sin6_addr;
        loopback = IN6_IS_ADDR_LOOPBACK(&address) || (IN6_IS_ADDR_V4MAPPED(&address) && address.s6_addr[12] == 127);
    } else {
        loopback = ntohl(reinterpret_cast<sockaddr_in*>(&bound)->sin_addr.s_addr) >> 24 == 127;
    }
    return listening;
}

} // namespace

HttpServer::HttpServer(const ServerSettings& settings, Handler handler, Logger logger)
    : state_(std::make_unique<State>())
{
    state_->handler = std::move(handler);
    state_->logger = std::move(logger);
    state_->settings = settings;
    bool loopback = false;
    Socket listening = Listen(settings, state_->port, loopback);
    // Only this machine reaches a loopback address, most often through one reverse proxy
    // carrying everyone's requests: a limit per address would be the whole service's, and
    // the connections past it are closed unanswered.
    const unsigned perAddressLimit = loopback ? settings.connectionLimit : settings.perAddressLimit;
    state_->watchdog = std::thread([state = state_.get()] { state->Watch(); });
    const unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_AUTO | MHD_USE_ITC | MHD_ALLOW_SUSPEND_RESUME;
    state_->daemon = MHD_start_daemon(
        flags, 0, nullptr, nullptr, &OnRequest, state_.get(), MHD_OPTION_LISTEN_SOCKET, listening.Get(),
        MHD_OPTION_THREAD_POOL_SIZE, settings.threads, MHD_OPTION_CONNECTION_LIMIT, settings.connectionLimit,
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, perAddressLimit, MHD_OPTION_CONNECTION_TIMEOUT, settings.timeoutSeconds,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, settings.connectionMemory, MHD_OPTION_URI_LOG_CALLBACK, &OnRequestLine,
        state_.get(), MHD_OPTION_NOTIFY_COMPLETED, &OnCompleted, state_.get(), MHD_OPTION_NOTIFY_CONNECTION,
        &OnConnection, state_.get(), MHD_OPTION_END);
    if (state_->daemon == nullptr) {
        {
            const std::lock_guard lock(state_->mutex);
            state_->stopping = true;
        }
        state_->changed.notify_all();
        state_->watchdog.join();
        throw std::runtime_error("Cannot start the HTTP server on " + settings.host + ":" +
                                 std::to_string(state_->port));
    }
    listening.Release();
}

HttpServer::~HttpServer()
{
    {
        // Every handed-on request is answered by its handler in the end.
        std::unique_lock lock(state_->mutex);
        state_->changed.wait(lock, [&] { return state_->parked == 0; });
    }
    MHD_stop_daemon(state_->daemon);
    {
        const std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->changed.notify_all();
    state_->watchdog.join();
}

std::uint16_t HttpServer::Port() const
{
    return state_->port;
}

bool HttpServer::Drain(std::chrono::milliseconds timeout)
{
    const MHD_socket listening = MHD_quiesce_daemon(state_->daemon);
    if (listening != MHD_INVALID_SOCKET) {
        close(listening);
    }
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, timeout, [&] { return state_->requests == 0; });
}

} // namespace glyphtint::tools
