// glyphtint-serve: the pictures glyphtint-render makes, served over HTTP from one open
// glyph pack, reopened on SIGHUP; SIGTERM lets the requests in flight finish.
#include "render/ErrorCauses.h"
#include "render/GlyphArchivePath.h"
#include "render/NumberText.h"
#include "render/ShownMessage.h"
#include "render/TextLimits.h"
#include "tools/CommandLine.h"
#include "serve/HttpServer.h"
#include "serve/LinkPreview.h"
#include "raster/OffscreenApplication.h"
#include "serve/RenderService.h"
#include "tools/StandardStreams.h"

#include <QFontDatabase>
#include <QGuiApplication>

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <pthread.h>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>

namespace glyphtint::tools {
namespace {

constexpr const char* kProgram = "glyphtint-serve";
constexpr const char* kUsage =
    "usage: glyphtint-serve [--archive FILE] [--listen HOST:PORT] [--threads N] [--max-text-bytes N]\n"
    "                       [--max-connections N] [--header-timeout SECONDS]\n"
    "                       [--max-wait SECONDS] [--max-age SECONDS] [--public-url URL]\n"
    "Serves the pictures of glyphtint-render over HTTP, drawn with the glyphs of FILE\n"
    "(default: glyphtint.gfx beside this program):\n"
    "  GET /strip.png?text=T     the strip --strip writes for the coded text T\n"
    "  GET /framed.jpg?text=T    the framed picture --framed writes\n"
    "  GET /card.png?text=T      T scaled up on a dark 1200x630 card, for link previews\n"
    "  GET /n/T.png, /n/T.jpg    the strip, the framed picture: T in the path\n"
    "  GET /info.json?text=T     T's lengths and the characters drawn, as JSON\n"
    "  GET /healthz              'ok' while pictures are drawn; X-Glyph-Pack: the pack's digest\n"
    "  GET /?text=T              a web page that shows T's strip as it is typed, with\n"
    "                            T's link-preview tags\n"
    "  GET /colours.json         the palettes' colour codes, names and colours\n"
    "T is percent-encoded ('+' a space, %XX any byte; in /n/ '+' is itself); scale,\n"
    "background, min-contrast and page take the values of glyphtint-render's options of\n"
    "those names, a colour with or without its '#' (%23); v, the first\n"
    "12 hexadecimal digits of the pack's digest, marks a picture as never changing.\n"
    "  --listen HOST:PORT      where to listen (default 127.0.0.1:8080; port 0: a free one)\n"
    "  --threads N             pictures drawn at once, 1 to 256 (default: the cores)\n"
    "  --max-text-bytes N      the longest text, 1 to 1048576 bytes (default 4096)\n"
    "  --max-wait SECONDS      a picture expected to wait longer for a renderer is refused\n"
    "                          with 503 (default 1; up to 3600)\n"
    "  --max-age SECONDS       how long a picture without v may be cached (default 86400)\n"
    "  --max-connections N     connections at once, 1 to 65536 (default 256); past it the\n"
    "                          connection idle the longest is closed for the new one\n"
    "  --header-timeout S      seconds a connection has to send its request's head, from its\n"
    "                          start or its last answer, 1 to 3600 (default 5)\n"
    "  --public-url URL        the http(s) address the service is reached at from outside,\n"
    "                          for the page's snippets and link previews (og:image)\n"
    "  --help, --version       this text; the version\n"
    "Prints 'listening on http://HOST:PORT/' once serving, then one line a request:\n"
    "method, path, status (0: no answer sent whole), bytes, milliseconds. When that log\n"
    "cannot be written, the service stops as on SIGTERM and exits 1.\n"
    "SIGHUP reads FILE anew (kept only when every glyph draws); SIGTERM finishes the requests under way and exits.\n"
    "Exit status: 0 stopped by SIGTERM or SIGINT, 1 failed (the message says why), 2 wrong usage.\n";

struct ServeOptions {
    std::string archive;
    ServerSettings server;
    ServiceLimits limits;
};

unsigned long ReadNumber(const std::string& option, const std::string& value, unsigned long low, unsigned long high)
{
    unsigned long number = 0;
    const char* end = value.data() + value.size();
    const auto [stop, error] = std::from_chars(value.data(), end, number);
    if (value.empty() || error != std::errc() || stop != end || number < low || number > high) {
        throw EUsage(option + " takes a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                     ", not '" + value + "'");
    }
    return number;
}

// Seconds as a decimal number, read the same whatever the locale.
double ReadSeconds(const std::string& option, const std::string& value, double high)
{
    double seconds = 0;
    const char* end = value.data() + value.size();
    const auto [stop, error] = std::from_chars(value.data(), end, seconds, std::chars_format::fixed);
    if (value.empty() || stop != end || error != std::errc() || !(seconds > 0 && seconds <= high)) {
        throw EUsage(option + " takes seconds above 0 and up to " + std::to_string(static_cast<int>(high)) + ", not '" +
                     value + "'");
    }
    return seconds;
}

ServeOptions ParseServeOptions(int argc, const char* const* argv)
{
    ServeOptions options;
    const unsigned cores = std::thread::hardware_concurrency();
    unsigned renderers = cores == 0 ? 1 : cores;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument != "--archive" && argument != "--listen" && argument != "--threads" &&
            argument != "--max-text-bytes" && argument != "--max-connections" && argument != "--header-timeout" &&
            argument != "--max-wait" && argument != "--max-age" && argument != "--public-url") {
            throw argument.starts_with("-") ? UnknownOption(argument)
                                            : EUsage("unexpected argument '" + argument + "'");
        }
        if (i + 1 == argc) {
            throw EUsage("option '" + argument + "' needs a value");
        }
        const std::string value = argv[++i];
        if (argument == "--archive") {
            options.archive = value;
        } else if (argument == "--threads") {
            renderers = static_cast<unsigned>(ReadNumber(argument, value, 1, 256));
        } else if (argument == "--max-text-bytes") {
            options.limits.maxTextBytes = ReadNumber(argument, value, 1, render::kMaxTextBytes);
        } else if (argument == "--max-connections") {
            options.server.connectionLimit = static_cast<unsigned>(ReadNumber(argument, value, 1, 65536));
        } else if (argument == "--header-timeout") {
            options.server.headerTimeoutSeconds = static_cast<unsigned>(ReadNumber(argument, value, 1, 3600));
        } else if (argument == "--max-wait") {
            options.limits.maxWaitSeconds = ReadSeconds(argument, value, 3600);
        } else if (argument == "--public-url") {
            options.limits.publicUrl = ReadPublicUrl(value);
        } else if (argument == "--max-age") {
            options.limits.maxAgeSeconds = static_cast<unsigned>(ReadNumber(argument, value, 0, 31536000));
        } else {
            const std::size_t colon = value.rfind(':');
            std::string host = colon == std::string::npos ? "" : value.substr(0, colon);
            if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
                host = host.substr(1, host.size() - 2);
            }
            if (host.empty()) {
                throw EUsage("--listen takes HOST:PORT, not '" + value + "'");
            }
            options.server.host = host;
            options.server.port =
                static_cast<std::uint16_t>(ReadNumber("--listen's port", value.substr(colon + 1), 0, 65535));
        }
    }
    if (options.archive.empty()) {
        options.archive = render::GlyphArchivePath();
    }
    options.limits.renderers = renderers;
    // The daemon's threads only read requests and write answers, the renders being on
    // the renderers' threads: two keep answers flowing while one writes a large picture.
    options.server.threads = 2;
    // The request line must hold the longest text, every byte as %XX.
    options.server.connectionMemory = std::max<std::size_t>(32 * 1024, 3 * options.limits.maxTextBytes + 16 * 1024);
    return options;
}

// The path as the log shows it: without the query, any byte outside printable ASCII
// as %XX, so that every request stays one line.
std::string LoggedPath(const std::string& target)
{
    std::string logged;
    for (const char c : target.substr(0, target.find('?'))) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte >= 127 || byte == '%') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
            logged += escaped;
        } else {
            logged += c;
        }
    }
    return logged;
}

std::mutex logMutex;
int logError = 0; // errno of the first access log line that could not be written

// A request the log does not show is a request nobody can account for: the first line
// that cannot be written stops the service (Run sees SIGTERM, then logError).
void LogRequest(const LoggedRequest& request)
{
    const std::size_t sent = request.method == "HEAD" ? 0 : request.bytes;
    char numbers[96];
    // The milliseconds with a point whatever the locale Qt took from the environment.
    std::snprintf(numbers, sizeof numbers, " %d %zu %s\n", request.status, sent,
                  render::FormatDecimal(request.milliseconds, 1).c_str());
    const std::string line = LoggedPath(request.method) + " " + LoggedPath(request.target) + numbers;
    const std::lock_guard lock(logMutex);
    if (logError != 0) {
        return;
    }
    errno = 0;
    if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size() || std::fflush(stdout) != 0) {
        logError = errno != 0 ? errno : EIO;
        std::clearerr(stdout);
        kill(getpid(), SIGTERM);
    }
}

int Fail(const std::exception& error)
{
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", render::ShownMessage(render::DescribeError(error)).c_str());
    return 1;
}

int Run(int argc, char** argv)
{
    if (const std::optional<int> answered = AnswerHelpOrVersion(argc, argv, kProgram, kUsage)) {
        return *answered;
    }
    ServeOptions options;
    try {
        options = ParseServeOptions(argc, argv);
    } catch (const EUsage& wrong) {
        return ReportWrongUsage(kProgram, wrong.what());
    }
    // Signals are taken here, in the main thread, by sigwait: every thread started from
    // now on inherits the mask.
    sigset_t handledSignals;
    sigemptyset(&handledSignals);
    sigaddset(&handledSignals, SIGTERM);
    sigaddset(&handledSignals, SIGINT);
    sigaddset(&handledSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &handledSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    // The framed pictures' captions need an application's fonts.
    raster::PrepareOffscreenApplication();
    QGuiApplication application(argc, argv);
    // The font database is filled here, before the workers draw their first caption.
    QFontDatabase::families();
    try {
        RenderService service(options.archive, options.limits);
        HttpServer server(
            options.server,
            [&](const HttpRequest& request, Reply reply) { return service.Answer(request, std::move(reply)); },
            LogRequest);
        const bool ipv6 = options.server.host.find(':') != std::string::npos;
        if (std::printf("listening on http://%s%s%s:%u/\n", ipv6 ? "[" : "", options.server.host.c_str(),
                        ipv6 ? "]" : "", static_cast<unsigned>(server.Port())) < 0 ||
            std::fflush(stdout) != 0) {
            throw std::runtime_error(std::string("the access log cannot be written: ") + std::strerror(errno));
        }
        for (;;) {
            int signal = 0;
            if (sigwait(&handledSignals, &signal) != 0) {
                continue;
            }
            if (signal == SIGHUP) {
                try {
                    service.Reload();
                } catch (const std::exception& error) {
                    // The pack before stays in service.
                    std::fprintf(stderr, "%s: the glyph pack was not reopened: %s\n", kProgram,
                                 render::ShownMessage(render::DescribeError(error)).c_str());
                }
                continue;
            }
            if (!server.Drain(std::chrono::seconds(30))) {
                std::fprintf(stderr, "%s: requests still under way after 30 seconds were cut off\n", kProgram);
            }
            break;
        }
    } catch (const std::exception& error) {
        return Fail(error);
    }
    if (const std::lock_guard lock(logMutex); logError != 0) {
        std::fprintf(stderr, "%s: the access log cannot be written: %s; stopped\n", kProgram, std::strerror(logError));
        return 1;
    }
    try {
        CloseStandardOutput();
    } catch (const std::exception& error) {
        return Fail(error);
    }
    return 0;
}

} // namespace
} // namespace glyphtint::tools

int main(int argc, char** argv)
{
    glyphtint::tools::KeepStandardDescriptorsOpen();
    return glyphtint::tools::Run(argc, argv);
}
