// HttpServer: the listening socket made and accepted here (its errors named), each
// connection's first head checked by the head gate before libmicrohttpd's pool serves
// it, the raw request target kept from the request line (libmicrohttpd decodes the
// path), every request's head checked before it is served, and a watch over slow and
// idle clients.
#include "serve/HttpServer.h"

#include "io/Descriptor.h"

#include "serve/HeadGate.h"
#include "serve/RequestChecks.h"

#include <microhttpd.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
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
    HttpRequest request; // as the handler gets it
    Clock::time_point start = Clock::now();
    bool headersSeen = false;
    int status = 0; // of the answer queued; 0 while there is none
    std::size_t bytes = 0;
    std::shared_ptr<Parked> parked; // set while suspended or resuming
    // Answered from its request line and never counted: the daemon's later calls for it
    // only close the connection.
    bool refused = false;
};

// One connection, watched while it has no request being answered.
struct ConnectionWatch {
    int fd = -1;
    Clock::time_point since = Clock::now();
    bool busy = false;
    bool closing = false;
    // Held by the head gate, not yet the daemon's: ranked with slow senders.
    bool gated = false;
    std::string address; // the client's IP address as bytes, for the limit per address
    // The request under way, counted in HttpServer::State::requests until it is over.
    RequestContext* request = nullptr;
    int drainingAnswers = 0; // queued since the server began to drain
};

// Answers a connection gets while the server drains: requests a client sent together
// (pipelined) are answered up to this many, and the last carries Connection: close, so
// that a client sending one request after another learns of the close and the drain ends.
constexpr int kDrainingAnswers = 8;

// The IP address of a client as bytes; an IPv4 address mapped into IPv6 as the IPv4 one.
std::string AddressKey(const sockaddr* address)
{
    if (address != nullptr && address->sa_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(address);
        return {reinterpret_cast<const char*>(&in->sin_addr), sizeof in->sin_addr};
    }
    if (address != nullptr && address->sa_family == AF_INET6) {
        const in6_addr& in6 = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
        const auto* bytes = reinterpret_cast<const char*>(in6.s6_addr);
        return IN6_IS_ADDR_V4MAPPED(&in6) ? std::string(bytes + 12, 4) : std::string(bytes, 16);
    }
    return {};
}

} // namespace

struct HttpServer::State {
    Handler handler;
    Logger logger;
    ServerSettings settings;
    MHD_Daemon* daemon = nullptr;
    std::uint16_t port = 0;

    std::atomic<bool> draining = false;
    std::mutex mutex;
    // Told of every request that ends: heard only by a drain or the destructor waiting.
    std::condition_variable changed;
    // The watchdog's own, so that the ends of requests do not wake it: it looks four times
    // a second, and is woken to stop.
    std::condition_variable watchdogWake;
    int requests = 0;
    std::unordered_set<ConnectionWatch*> watches;
    bool stopping = false;
    std::thread watchdog;
    std::mutex messageMutex;
    std::string daemonMessage; // libmicrohttpd's last word, for the start error

    // Connections suspended or resuming: the daemon may only stop without any.
    int parked = 0;

    // The head gate's thread, woken through gateWake to take the connections still
    // waiting to be accepted (draining) or to stop.
    std::thread gate;
    io::Descriptor gateWake;
    bool gateStopping = false;
    bool accepting = true;        // false once the listening socket is closed
    unsigned perAddressLimit = 0; // 0: none

    void WakeGate() const
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(gateWake.Get(), &one, sizeof one);
    }

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
            watchdogWake.wait_for(lock, std::chrono::milliseconds(250));
            const Clock::time_point now = Clock::now();
            for (ConnectionWatch* watch : watches) {
                if (!watch->busy && now - watch->since > std::chrono::seconds(settings.headerTimeoutSeconds)) {
                    Close(*watch);
                }
            }
        }
    }

    // The daemon then reads the end of the stream and closes the connection.
    static void Close(ConnectionWatch& watch)
    {
        if (!watch.closing) {
            shutdown(watch.fd, SHUT_RDWR);
            watch.closing = true;
        }
    }

    // Room for one more connection at the limit: the connection idle the longest goes,
    // else the one that has sent the least of its request the longest. A connection whose
    // request is being answered stays.
    void MakeRoom(const ConnectionWatch* arriving)
    {
        std::size_t open = 0;
        ConnectionWatch* oldest = nullptr;
        const auto rank = [](const ConnectionWatch& watch) {
            return std::pair(watch.request != nullptr || watch.gated, watch.since);
        };
        for (ConnectionWatch* watch : watches) {
            if (watch->closing) {
                continue;
            }
            ++open;
            if (watch != arriving && !watch->busy && (oldest == nullptr || rank(*watch) < rank(*oldest))) {
                oldest = watch;
            }
        }
        if (open > settings.connectionLimit && oldest != nullptr) {
            Close(*oldest);
        }
    }
};

namespace {

ConnectionWatch* WatchOf(MHD_Connection* connection)
{
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    return info == nullptr ? nullptr : static_cast<ConnectionWatch*>(info->socket_context);
}

// The whole answer as written on the connection.
std::string WrittenAnswer(const HttpAnswer& answer, std::string_view method)
{
    const char* reason = MHD_get_reason_phrase_for(static_cast<unsigned>(answer.status));
    std::string written = "HTTP/1.1 " + std::to_string(answer.status) + " " + (reason == nullptr ? "" : reason) +
                          "\r\nContent-Type: " + answer.contentType + "\r\n";
    for (const auto& [name, value] : answer.headers) {
        written += name + ": " + value + "\r\n";
    }
    written += "Content-Length: " + std::to_string(answer.body.size()) + "\r\n\r\n";
    if (method != "HEAD") {
        written += answer.body;
    }
    return written;
}

void Log(const HttpServer::State& state, const LoggedRequest& logged)
{
    try {
        state.logger(logged);
    } catch (const std::exception&) {
        // Out of memory for a log line: the request is over all the same.
    }
}

// A query past the parameter bound is refused here, before the daemon parses it: the
// daemon keeps a record of each parameter in the connection's memory, and one that runs
// out of it there never answers. The first request of a connection was checked by the
// head gate; this one came later on a kept-alive connection. The answer goes out on the
// socket directly (the answer before it was sent whole, or the daemon would not be
// reading this request), then the connection's sending side is shut: the daemon reads
// on until the client closes, so no unread bytes reset the connection under the answer.
bool RefusedFromRequestLine(HttpServer::State& state, MHD_Connection* connection, std::string_view target,
                            const Clock::time_point start)
{
    if (!HasTooManyParameters(target)) {
        return false;
    }
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    if (info == nullptr) {
        return true; // no socket to answer on: the daemon closes the connection
    }
    const HttpAnswer answer = Refusal(400, TooManyParametersMessage());
    // The method is not known yet: a HEAD request gets the body too, past which nothing
    // follows on the connection.
    const std::string written = WrittenAnswer(answer, "GET");
    const ssize_t sent = send(info->connect_fd, written.data(), written.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    shutdown(info->connect_fd, SHUT_WR);
    LoggedRequest logged{"-", std::string(target), 0, 0, 0};
    if (sent == static_cast<ssize_t>(written.size())) {
        logged.status = answer.status;
        logged.bytes = answer.body.size();
    }
    logged.milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    Log(state, logged);
    return true;
}

void* OnRequestLine(void* cls, const char* uri, MHD_Connection* connection)
{
    auto* state = static_cast<HttpServer::State*>(cls);
    auto* context = new (std::nothrow) RequestContext;
    try {
        if (context != nullptr) {
            context->target = uri;
            if (RefusedFromRequestLine(*state, connection, context->target, context->start)) {
                context->refused = true;
                return context; // OnCompleted deletes it, uncounted
            }
        }
    } catch (const std::bad_alloc&) {
        delete std::exchange(context, nullptr); // OnRequest then closes the connection
    }
    const std::lock_guard lock(state->mutex);
    ++state->requests;
    if (ConnectionWatch* watch = WatchOf(connection)) {
        watch->request = context;
    }
    return context;
}

// The request is over: logged with the answer it got (status 0 when none was sent whole)
// and no longer counted. libmicrohttpd calls OnCompleted only for requests it handed to
// OnRequest; those it refused itself end here when their connection closes.
void Finish(HttpServer::State& state, MHD_Connection* connection, RequestContext* context, bool sent)
{
    LoggedRequest logged{"-", "", 0, 0, 0};
    if (context != nullptr) {
        logged.method = context->request.method.empty() ? "-" : context->request.method;
        logged.target = context->target;
        logged.milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - context->start).count();
        if (sent && context->status != 0) {
            logged.status = context->status;
            logged.bytes = context->bytes;
        } else if (const MHD_ConnectionInfo* info =
                       MHD_get_connection_info(connection, MHD_CONNECTION_INFO_HTTP_STATUS);
                   context->status == 0 && info != nullptr) {
            // The daemon's own answer, which it sends before it closes the connection.
            logged.status = static_cast<int>(info->http_status);
        }
        delete context;
    }
    {
        const std::lock_guard lock(state.mutex);
        --state.requests;
        if (ConnectionWatch* watch = WatchOf(connection)) {
            watch->request = nullptr;
            watch->busy = false;
            watch->since = Clock::now();
        }
    }
    state.changed.notify_all();
    Log(state, logged);
}

void OnCompleted(void* cls, MHD_Connection* connection, void** requestContext, MHD_RequestTerminationCode code)
{
    auto* state = static_cast<HttpServer::State*>(cls);
    auto* context = static_cast<RequestContext*>(*requestContext);
    *requestContext = nullptr;
    if (context != nullptr && context->refused) {
        delete context;
        return;
    }
    if (context != nullptr) {
        state->Unpark(*context);
    }
    {
        const std::lock_guard lock(state->mutex);
        const ConnectionWatch* watch = WatchOf(connection);
        if (watch != nullptr && watch->request != context) {
            delete context; // never counted: its watch had no room for it
            return;
        }
    }
    Finish(*state, connection, context, code == MHD_REQUEST_TERMINATED_COMPLETED_OK);
}

void OnConnection(void* cls, MHD_Connection* connection, void** socketContext, MHD_ConnectionNotificationCode code)
{
    auto* state = static_cast<HttpServer::State*>(cls);
    std::unique_lock lock(state->mutex);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
        const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        const MHD_ConnectionInfo* client = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
        auto* watch = new (std::nothrow) ConnectionWatch;
        if (watch != nullptr && info != nullptr) {
            watch->fd = info->connect_fd;
            try {
                watch->address = AddressKey(client == nullptr ? nullptr : client->client_addr);
                state->watches.insert(watch);
                state->MakeRoom(watch);
            } catch (const std::bad_alloc&) {
                delete std::exchange(watch, nullptr); // served unwatched
            }
        }
        *socketContext = watch;
    } else if (auto* watch = static_cast<ConnectionWatch*>(*socketContext)) {
        RequestContext* unfinished = watch->request;
        lock.unlock();
        if (unfinished != nullptr) {
            // Still counted: a request libmicrohttpd answered or dropped without OnRequest.
            Finish(*state, connection, unfinished, true);
        }
        lock.lock();
        state->watches.erase(watch);
        delete watch;
        *socketContext = nullptr;
    }
}

// An answer whose headers could not all be added must not go out without them.
MHD_Response* FailedAnswer()
{
    static const char kText[] = "the answer could not be made\n";
    MHD_Response* response =
        MHD_create_response_from_buffer(sizeof kText - 1, const_cast<char*>(kText), MHD_RESPMEM_PERSISTENT);
    if (response != nullptr &&
        (MHD_add_response_header(response, "Content-Type", "text/plain; charset=utf-8") != MHD_YES ||
         MHD_add_response_header(response, "X-Content-Type-Options", "nosniff") != MHD_YES ||
         MHD_add_response_header(response, "Connection", "close") != MHD_YES)) {
        MHD_destroy_response(response);
        return nullptr;
    }
    return response;
}

// The body is handed to the daemon, which sends it from where it lies and frees it once
// sent: a picture is not copied. What is queued is what the access log shows.
MHD_Result Queue(HttpServer::State& state, MHD_Connection* connection, HttpAnswer&& answer)
{
    auto body = std::make_unique<std::string>(std::move(answer.body));
    const std::size_t bytes = body->size();
    MHD_Response* response = MHD_create_response_from_buffer_with_free_callback_cls(
        body->size(), body->data(), [](void* owned) { delete static_cast<std::string*>(owned); }, body.get());
    if (response == nullptr) {
        return MHD_NO;
    }
    body.release();
    ConnectionWatch* watch = WatchOf(connection);
    if (watch != nullptr && state.draining && ++watch->drainingAnswers == kDrainingAnswers &&
        std::ranges::none_of(answer.headers, [](const auto& header) { return header.first == "Connection"; })) {
        answer.headers.emplace_back("Connection", "close");
    }
    bool whole = answer.contentType.empty() ||
                 MHD_add_response_header(response, "Content-Type", answer.contentType.c_str()) == MHD_YES;
    for (const auto& [name, value] : answer.headers) {
        whole = whole && MHD_add_response_header(response, name.c_str(), value.c_str()) == MHD_YES;
    }
    // Every answer, a handler's failure too: no client is to guess a type from the bytes.
    if (std::ranges::none_of(answer.headers,
                             [](const auto& header) { return header.first == "X-Content-Type-Options"; })) {
        whole = whole && MHD_add_response_header(response, "X-Content-Type-Options", "nosniff") == MHD_YES;
    }
    int status = answer.status;
    if (!whole) {
        MHD_destroy_response(response);
        response = FailedAnswer();
        status = 500;
        if (response == nullptr) {
            return MHD_NO;
        }
    }
    const MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(status), response);
    MHD_destroy_response(response);
    if (queued == MHD_YES && watch != nullptr && watch->request != nullptr) {
        watch->request->status = status;
        watch->request->bytes = whole ? bytes : 0;
    }
    return queued;
}

// Hands the request to the handler; when it takes it for later, the connection is
// suspended until the reply resumes it. The reply waits for the suspension: resuming a
// connection not suspended is undefined.
std::optional<HttpAnswer> Dispatch(HttpServer::State& state, MHD_Connection* connection, RequestContext& context)
{
    auto parked = std::make_shared<Parked>();
    parked->connection = connection;
    const std::lock_guard hold(parked->mutex);
    std::optional<HttpAnswer> now = state.handler(context.request, [parked](HttpAnswer&& answer) {
        const std::lock_guard lock(parked->mutex);
        parked->answer = std::move(answer);
        MHD_resume_connection(parked->connection);
    });
    if (!now) {
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
    return Queue(state, connection, std::move(*answer));
}

// The request's head as received: every header line with its length, NUL bytes included.
RequestHead HeadOf(MHD_Connection* connection, const char* method, const char* version, std::string_view target)
{
    RequestHead head{method, version, target, {}};
    MHD_get_connection_values_n(
        connection, MHD_HEADER_KIND,
        [](void* cls, MHD_ValueKind, const char* name, std::size_t nameSize, const char* value,
           std::size_t valueSize) noexcept {
            auto* headers = static_cast<std::vector<HeaderField>*>(cls);
            try {
                headers->push_back({{name, nameSize}, {value == nullptr ? "" : value, valueSize}});
            } catch (const std::bad_alloc&) {
                return MHD_NO;
            }
            return MHD_YES;
        },
        &head.headers);
    return head;
}

// The checks made once the headers are complete: an answer when the request may not be
// served, queued at once so that the daemon never reads its body.
std::optional<HttpAnswer> CheckHead(const HttpServer::State& state, MHD_Connection* connection, const RequestHead& head)
{
    const std::size_t limit = state.settings.connectionMemory;
    const MHD_ConnectionInfo* size = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_REQUEST_HEADER_SIZE);
    if (head.target.size() > limit) {
        return Refusal(414, "the request target is longer than glyphtint-serve takes");
    }
    if (size != nullptr && size->header_size > limit) {
        return Refusal(431, "the request's header is longer than glyphtint-serve takes");
    }
    // The daemon ends the target and every header value at a NUL byte, and what followed
    // is lost unseen ("text=a\0b" would be drawn as "a"): bytes it took in that no part of
    // the head accounts for are refused.
    if (size != nullptr && size->header_size > WrittenHeadSize(head)) {
        return Refusal(400, "the request's head holds a NUL byte or spaces where none are taken");
    }
    return CheckRequestHead(head);
}

MHD_Result Answer(HttpServer::State* state, MHD_Connection* connection, const char* method, const char* version,
                  std::size_t* uploadDataSize, RequestContext* context)
{
    if (context == nullptr || context->refused) {
        return MHD_NO;
    }
    if (!context->headersSeen) {
        context->headersSeen = true;
        {
            const std::lock_guard lock(state->mutex);
            if (ConnectionWatch* watch = WatchOf(connection)) {
                watch->busy = true;
            }
        }
        context->request.method = method;
        const RequestHead head = HeadOf(connection, method, version, context->target);
        if (std::optional<HttpAnswer> refused = CheckHead(*state, connection, head)) {
            return Queue(*state, connection, std::move(*refused));
        }
        context->request.target = OriginForm(context->target);
        context->request.ifNoneMatch = JoinedHeader(head.headers, "If-None-Match");
        // Answered on the next call, as the daemon asks.
        return MHD_YES;
    }
    *uploadDataSize = 0;
    if (context->parked) {
        return QueueParked(*state, connection, *context);
    }
    HttpAnswer answer;
    try {
        if (std::optional<HttpAnswer> now = Dispatch(*state, connection, *context)) {
            answer = std::move(*now);
        } else {
            return MHD_YES;
        }
    } catch (const std::exception& error) {
        answer = {500, "text/plain; charset=utf-8", std::string(error.what()) + "\n", {}};
    }
    return Queue(*state, connection, std::move(answer));
}

// Nothing raised may cross the daemon's C frames: a request that cannot be handled, for
// want of memory, has its connection closed.
MHD_Result OnRequest(void* cls, MHD_Connection* connection, const char* /*url*/, const char* method,
                     const char* version, const char* /*uploadData*/, std::size_t* uploadDataSize,
                     void** requestContext)
{
    try {
        return Answer(static_cast<HttpServer::State*>(cls), connection, method, version, uploadDataSize,
                      static_cast<RequestContext*>(*requestContext));
    } catch (const std::exception&) {
        return MHD_NO;
    }
}

// The head gate's side of the sockets: connections accepted here, their first head read
// with MSG_PEEK (so that the daemon later reads it whole, as if it had accepted them),
// then handed to the daemon, or answered here and closed.

// Most of a head looked at in the socket's queue: a longer head is the daemon's to read
// and CheckHead's to refuse.
constexpr std::size_t kPeekWindow = 64 * 1024;

// Reads of what a refused client still sends, at most, each time it sends more.
constexpr int kDiscardTurn = 16;

// A connection held until its first request's head is whole.
struct Gated {
    explicit Gated(int fd) : socket(fd) { }
    io::Descriptor socket;
    sockaddr_storage address{};
    socklen_t addressLength = sizeof address;
    ConnectionWatch watch; // in State::watches while held
    Clock::time_point start = Clock::now();
    bool counted = false;  // in State::requests: part of a request came
    std::size_t seen = 0;  // bytes of the head looked at so far
    bool lineSeen = false; // a line end among them
    bool answered = false; // refused: what the client still sends is read and dropped
};

class GateLoop {
public:
    GateLoop(HttpServer::State& state, io::Descriptor listening)
        : state_(state), listening_(std::move(listening)), epoll_(epoll_create1(EPOLL_CLOEXEC)),
          gate_(state.settings.connectionMemory), peeked_(std::min(state.settings.connectionMemory + 1, kPeekWindow))
    {
        if (epoll_.Get() < 0 || !Add(listening_.Get(), EPOLLIN) || !Add(state.gateWake.Get(), EPOLLIN)) {
            throw std::runtime_error(std::string("Cannot watch the listening socket: ") + std::strerror(errno));
        }
    }

    void Run()
    {
        epoll_event events[64];
        for (;;) {
            const int count = epoll_wait(epoll_.Get(), events, std::size(events), -1);
            for (int i = 0; i < count; ++i) {
                const int fd = events[i].data.fd;
                if (fd == state_.gateWake.Get()) {
                    std::uint64_t wakes = 0;
                    [[maybe_unused]] const ssize_t read = ::read(fd, &wakes, sizeof wakes);
                } else if (fd == listening_.Get()) {
                    Accept();
                } else if (const auto found = held_.find(fd); found != held_.end()) {
                    try {
                        Serve(*found->second, events[i].events);
                    } catch (const std::bad_alloc&) {
                        Drop(*found->second); // closed unanswered, for want of memory
                    }
                }
            }
            {
                const std::lock_guard lock(state_.mutex);
                if (state_.gateStopping) {
                    break;
                }
            }
            if (state_.draining && listening_.Get() >= 0) {
                StopAccepting();
            }
        }
        while (!held_.empty()) {
            Drop(*held_.begin()->second);
        }
    }

private:
    bool Add(int fd, std::uint32_t events)
    {
        epoll_event event{};
        event.events = events;
        event.data.fd = fd;
        return epoll_ctl(epoll_.Get(), EPOLL_CTL_ADD, fd, &event) == 0;
    }

    // Connections the kernel has taken are accepted still: their clients may have sent
    // their requests already, which are served rather than reset.
    void StopAccepting()
    {
        Accept();
        epoll_ctl(epoll_.Get(), EPOLL_CTL_DEL, listening_.Get(), nullptr);
        listening_.Reset(-1);
        {
            const std::lock_guard lock(state_.mutex);
            state_.accepting = false;
        }
        state_.changed.notify_all();
    }

    void Accept()
    {
        for (;;) {
            sockaddr_storage address{};
            socklen_t length = sizeof address;
            const int client =
                accept4(listening_.Get(), reinterpret_cast<sockaddr*>(&address), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (client < 0) {
                if (errno == EINTR || errno == ECONNABORTED) {
                    continue;
                }
                return;
            }
            try {
                Take(client, address, length);
            } catch (const std::bad_alloc&) {
                // Closed unanswered, for want of memory.
            }
        }
    }

    void Take(int client, const sockaddr_storage& address, socklen_t length)
    {
        io::Descriptor owned(client);
        auto gated = std::make_unique<Gated>(owned.Release());
        gated->address = address;
        gated->addressLength = length;
        gated->watch.fd = client;
        gated->watch.gated = true;
        gated->watch.address = AddressKey(reinterpret_cast<const sockaddr*>(&address));
        Gated& entry = *held_.emplace(client, std::move(gated)).first->second;
        bool taken = false;
        {
            const std::lock_guard lock(state_.mutex);
            // Counted over every connection of the address, the daemon's and the gate's.
            if (state_.perAddressLimit == 0 || std::ranges::count_if(state_.watches, [&](const ConnectionWatch* watch) {
                                                   return !watch->closing && watch->address == entry.watch.address;
                                               }) < static_cast<std::ptrdiff_t>(state_.perAddressLimit)) {
                try {
                    state_.watches.insert(&entry.watch);
                    taken = true;
                    state_.MakeRoom(&entry.watch);
                } catch (const std::bad_alloc&) {
                    // Closed unanswered, for want of memory.
                }
            }
        }
        if (!taken || !Add(client, EPOLLIN | EPOLLRDHUP | EPOLLET)) {
            Forget(entry);
            held_.erase(client);
        }
    }

    void Serve(Gated& gated, std::uint32_t events)
    {
        bool closing = false;
        {
            const std::lock_guard lock(state_.mutex);
            closing = gated.watch.closing; // shut down by the watchdog or for room
        }
        if (closing) {
            Drop(gated);
            return;
        }
        if (gated.answered) {
            Discard(gated);
            return;
        }
        const ssize_t received = recv(gated.socket.Get(), peeked_.data(), peeked_.size(), MSG_PEEK);
        if (received <= 0) {
            if (received == 0 || (errno != EAGAIN && errno != EINTR)) {
                Drop(gated);
            }
            return;
        }
        Count(gated, true);
        const std::string_view head(peeked_.data(), static_cast<std::size_t>(received));
        GateVerdict verdict;
        if (Telling(gated, head)) {
            try {
                verdict = gate_.Inspect(head);
            } catch (const std::bad_alloc&) {
                Drop(gated);
                return;
            }
        }
        gated.seen = head.size();
        gated.lineSeen = gated.lineSeen || head.find('\n') != std::string_view::npos;
        if (verdict.kind == GateVerdict::Kind::More) {
            if (static_cast<std::size_t>(received) < peeked_.size()) {
                if ((events & (EPOLLRDHUP | EPOLLHUP | EPOLLERR)) != 0) {
                    Drop(gated); // the client sends no more, and its head is not whole
                }
                return;
            }
            // A head outgrowing the window: what it held so far is sound, the rest is
            // the daemon's to read and CheckHead's to check.
            verdict.kind = GateVerdict::Kind::Pass;
        }
        if (verdict.kind == GateVerdict::Kind::Pass) {
            HandOver(gated);
        } else {
            Refuse(gated, verdict);
        }
    }

    // Whether the bytes come since the last look can tell more: the first bytes, the
    // request line's end, the head's end, or the buffer full. A client sending its head a
    // byte at a time then costs a few looks, not one a byte over all it sent.
    bool Telling(const Gated& gated, std::string_view head) const
    {
        if (gated.seen == 0 || head.size() == peeked_.size() || head.size() < gated.seen) {
            return true;
        }
        if (!gated.lineSeen && head.find('\n', gated.seen) != std::string_view::npos) {
            return true;
        }
        const std::string_view fresh = head.substr(gated.seen >= 2 ? gated.seen - 2 : 0);
        return fresh.find("\n\n") != std::string_view::npos || fresh.find("\n\r\n") != std::string_view::npos;
    }

    void Count(Gated& gated, bool counted)
    {
        if (gated.counted != counted) {
            gated.counted = counted;
            {
                const std::lock_guard lock(state_.mutex);
                state_.requests += counted ? 1 : -1;
            }
            state_.changed.notify_all();
        }
    }

    void HandOver(Gated& gated)
    {
        const sockaddr_storage address = gated.address;
        const socklen_t length = gated.addressLength;
        const int fd = gated.socket.Release();
        Drop(gated);
        // The daemon closes the socket itself when it cannot take it.
        MHD_add_connection(state_.daemon, fd, reinterpret_cast<const sockaddr*>(&address), length);
    }

    // Answered at once, then the request read and dropped until the client closes (or
    // the watchdog does): closing with bytes unread would reset the connection, and the
    // client could lose the answer.
    void Refuse(Gated& gated, const GateVerdict& verdict)
    {
        const std::string written = WrittenAnswer(verdict.answer, verdict.method);
        const ssize_t sent = send(gated.socket.Get(), written.data(), written.size(), MSG_NOSIGNAL);
        shutdown(gated.socket.Get(), SHUT_WR);
        gated.answered = true;
        Count(gated, false);
        {
            const std::lock_guard lock(state_.mutex);
            gated.watch.since = Clock::now();
        }
        LoggedRequest logged{verdict.method, verdict.target, 0, 0, 0};
        if (sent == static_cast<ssize_t>(written.size())) {
            logged.status = verdict.answer.status;
            logged.bytes = verdict.answer.body.size();
        }
        logged.milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - gated.start).count();
        Log(state_, logged);
        Discard(gated);
    }

    // A turn at most: a client sending without end is read in turns with the others,
    // until it is closed for the header timeout.
    void Discard(Gated& gated)
    {
        for (int turn = 0; turn < kDiscardTurn; ++turn) {
            const ssize_t received = recv(gated.socket.Get(), peeked_.data(), peeked_.size(), 0);
            if (received > 0) {
                continue;
            }
            if (received == 0 || (errno != EAGAIN && errno != EINTR)) {
                Drop(gated);
            }
            return;
        }
    }

    void Forget(Gated& gated)
    {
        Count(gated, false);
        const std::lock_guard lock(state_.mutex);
        state_.watches.erase(&gated.watch);
    }

    // Closes the connection, if the gate still has it.
    void Drop(Gated& gated)
    {
        const int fd = gated.watch.fd;
        epoll_ctl(epoll_.Get(), EPOLL_CTL_DEL, fd, nullptr);
        Forget(gated);
        held_.erase(fd);
    }

    HttpServer::State& state_;
    io::Descriptor listening_;
    io::Descriptor epoll_;
    const HeadGate gate_;
    std::vector<char> peeked_;
    std::unordered_map<int, std::unique_ptr<Gated>> held_;
};

// The socket listening on host:port, or why there is none.
io::Descriptor Listen(const ServerSettings& settings, std::uint16_t& port, bool& loopback)
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
    io::Descriptor listening(socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
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

namespace {

// libmicrohttpd's messages are kept, not printed: a client's malformed request is no
// news for the operator, but the last one before a failed start says why it failed.
void OnDaemonMessage(void* cls, const char* format, va_list arguments)
{
    auto* state = static_cast<HttpServer::State*>(cls);
    char text[512];
    if (std::vsnprintf(text, sizeof text, format, arguments) < 0) {
        return;
    }
    std::string_view message(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '.')) {
        message.remove_suffix(1);
    }
    try {
        const std::lock_guard lock(state->messageMutex);
        state->daemonMessage.assign(message);
    } catch (const std::exception&) {
        // Out of memory for a message: the start error falls back to errno.
    }
}

} // namespace

HttpServer::HttpServer(const ServerSettings& settings, Handler handler, Logger logger)
    : state_(std::make_unique<State>())
{
    state_->handler = std::move(handler);
    state_->logger = std::move(logger);
    state_->settings = settings;
    bool loopback = false;
    io::Descriptor listening = Listen(settings, state_->port, loopback);
    // The daemon takes a few connections past the limit, so that a new one always gets in
    // and makes room by closing an idle one (State::MakeRoom); each of its threads takes
    // its share of the limit.
    const unsigned daemonLimit = settings.connectionLimit + std::max(settings.threads, 8u);
    // Only this machine reaches a loopback address, most often through one reverse proxy
    // carrying everyone's requests: a limit per address would be the whole service's, and
    // the connections past it are closed unanswered.
    const unsigned perAddressLimit = loopback ? daemonLimit : settings.perAddressLimit;
    state_->perAddressLimit = loopback ? 0 : settings.perAddressLimit;
    // A connection's memory holds its head (the daemon reads into half of what is free at
    // first), a record of each header line and query parameter, and the answer's headers;
    // it is cleared whole for every request, so it is no larger than that. Queries past
    // the parameter bound are refused before the daemon records them (OnRequestLine), a
    // head past the limit by CheckHead, and one with more header lines than fit gets the
    // daemon's own 431.
    const std::size_t daemonMemory = 2 * settings.connectionMemory + 32 * 1024;
    state_->gateWake.Reset(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!state_->gateWake.Valid()) {
        throw std::runtime_error("Cannot start the HTTP server: " + std::string(std::strerror(errno)));
    }
    auto gate = std::make_unique<GateLoop>(*state_, std::move(listening));
    state_->watchdog = std::thread([state = state_.get()] { state->Watch(); });
    // The daemon gets its connections from the gate (MHD_add_connection), never listens.
    const unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_AUTO | MHD_USE_ITC | MHD_USE_ERROR_LOG |
                           MHD_ALLOW_SUSPEND_RESUME | MHD_USE_NO_LISTEN_SOCKET;
    errno = 0;
    state_->daemon = MHD_start_daemon(
        flags, 0, nullptr, nullptr, &OnRequest, state_.get(), MHD_OPTION_EXTERNAL_LOGGER, &OnDaemonMessage,
        state_.get(), MHD_OPTION_THREAD_POOL_SIZE, settings.threads, MHD_OPTION_CONNECTION_LIMIT, daemonLimit,
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, perAddressLimit, MHD_OPTION_CONNECTION_TIMEOUT, settings.timeoutSeconds,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, daemonMemory, MHD_OPTION_URI_LOG_CALLBACK, &OnRequestLine, state_.get(),
        MHD_OPTION_NOTIFY_COMPLETED, &OnCompleted, state_.get(), MHD_OPTION_NOTIFY_CONNECTION, &OnConnection,
        state_.get(), MHD_OPTION_END);
    if (state_->daemon != nullptr) {
        try {
            state_->gate = std::thread([gate = std::move(gate)] { gate->Run(); });
            return;
        } catch (const std::system_error&) {
            MHD_stop_daemon(state_->daemon);
            state_->daemon = nullptr;
        }
    }
    const int error = errno;
    {
        const std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->watchdogWake.notify_all();
    state_->watchdog.join();
    std::string reason;
    {
        const std::lock_guard lock(state_->messageMutex);
        reason = state_->daemonMessage;
    }
    if (reason.empty()) {
        reason = error != 0 ? std::strerror(error) : "libmicrohttpd gave no reason";
    }
    throw std::runtime_error("Cannot start the HTTP server on " + settings.host + ":" + std::to_string(state_->port) +
                             ": " + reason);
}

HttpServer::~HttpServer()
{
    {
        // Every handed-on request is answered by its handler in the end.
        std::unique_lock lock(state_->mutex);
        state_->changed.wait(lock, [&] { return state_->parked == 0; });
        state_->gateStopping = true;
    }
    state_->WakeGate();
    state_->gate.join();
    state_->gateWake.Reset(-1);
    MHD_stop_daemon(state_->daemon);
    {
        const std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->watchdogWake.notify_all();
    state_->watchdog.join();
}

std::uint16_t HttpServer::Port() const
{
    return state_->port;
}

bool HttpServer::Drain(std::chrono::milliseconds timeout)
{
    state_->draining = true;
    state_->WakeGate();
    const Clock::time_point deadline = Clock::now() + timeout;
    std::unique_lock lock(state_->mutex);
    if (!state_->changed.wait_until(lock, deadline, [&] { return !state_->accepting; })) {
        return false;
    }
    // Requests a client sent together (pipelined) come one after another: the next is
    // read the moment the one before is answered. Done once none has come for a while.
    for (;;) {
        if (!state_->changed.wait_until(lock, deadline, [&] { return state_->requests == 0; })) {
            return false;
        }
        if (!state_->changed.wait_for(lock, std::chrono::milliseconds(200), [&] { return state_->requests != 0; })) {
            return true;
        }
    }
}

} // namespace glyphtint::tools
