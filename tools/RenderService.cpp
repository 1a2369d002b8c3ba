// RenderService: a query read into a render job, the job run with the calling thread's
// own pack, and every outcome made an HTTP answer.
#include "tools/RenderService.h"

#include "render/CodedTextInfo.h"
#include "render/ColourNames.h"
#include "render/ColourSamples.h"
#include "render/ErrorCauses.h"
#include "render/GlyphPack.h"
#include "render/PictureStyle.h"
#include "render/ShownMessage.h"
#include "tools/CommandLine.h"
#include "tools/RenderBatch.h"
#include "tools/RenderJob.h"
#include "tools/RenderOptions.h"
#include "tools/WebFiles.h"

#include <nettle/sha2.h>

#include <algorithm>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <optional>
#include <stdexcept>
#include <unistd.h>

namespace glyphtint::tools {

struct PackFile {
    int fd = -1;
    std::string path; // /proc/self/fd/N: every worker opens the very file that was digested
    unsigned char digest[SHA256_DIGEST_SIZE] = {};
    render::GlyphPack check;

    PackFile() = default;
    PackFile(const PackFile&) = delete;
    PackFile& operator=(const PackFile&) = delete;
    ~PackFile()
    {
        check.Close();
        if (fd >= 0) {
            close(fd);
        }
    }
};

namespace {

// Decoded glyphs each worker keeps between requests, so a glyph is decoded once.
constexpr std::int64_t kKeptGlyphBytesPerWorker = std::int64_t{8} << 20;
// The most pixels one served strip may hold on the way (64 MB as RGBA), whatever the
// scale: a render's memory stays bounded however many workers draw at once.
constexpr std::int64_t kMaxServedStripPixels = std::int64_t{1} << 24;
// Style values are a few characters; longer ones are refused while decoding.
constexpr std::size_t kMaxStyleValueBytes = 64;
constexpr const char* kCacheControl = "public, max-age=31536000, immutable";
// The page and its files change with the program: asked again each time, answered 304.
constexpr const char* kRevalidate = "no-cache";
// The page runs its own script and style only, and nothing may frame it.
constexpr const char* kPagePolicy =
    "default-src 'self'; base-uri 'none'; form-action 'self'; frame-ancestors 'none'; object-src 'none'";

// A text past the service's limit: 413 rather than 400.
class ETextOverServiceLimit : public EUsage {
public:
    using EUsage::EUsage;
};

// A picture that could not be had for a reason the client cannot change: 503.
class EBusy : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct WorkerPack {
    std::shared_ptr<const PackFile> file;
    render::GlyphPack pack{kKeptGlyphBytesPerWorker};
};

// GlyphPack serves one call at a time: each thread draws with its own, reopened when the
// service has moved on to a newer pack.
render::GlyphPack& PackOfThisThread(const std::shared_ptr<const PackFile>& file)
{
    thread_local WorkerPack worker;
    if (worker.file != file) {
        worker.file.reset();
        worker.pack.Open(file->path);
        worker.file = file;
    }
    return worker.pack;
}

int HexDigit(char c)
{
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}

std::string Hex(const unsigned char* bytes, std::size_t size)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (std::size_t i = 0; i < size; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 15];
    }
    return hex;
}

// The bytes of a query parameter, '+' as a space and every %XX as its byte. Raises EUsage
// for a malformed escape, and for a value longer than maxBytes as soon as it passes it.
std::string DecodeQueryValue(std::string_view encoded, std::size_t maxBytes, std::string_view name)
{
    std::string decoded;
    decoded.reserve(std::min(encoded.size(), maxBytes));
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        char byte = encoded[i];
        if (byte == '+') {
            byte = ' ';
        } else if (byte == '%') {
            const int hi = i + 1 < encoded.size() ? HexDigit(encoded[i + 1]) : -1;
            const int lo = i + 2 < encoded.size() ? HexDigit(encoded[i + 2]) : -1;
            if (hi < 0 || lo < 0) {
                throw EUsage("malformed percent escape in " + std::string(name) + ": '%' takes two hexadecimal digits");
            }
            byte = static_cast<char>(hi << 4 | lo);
            i += 2;
        }
        if (decoded.size() == maxBytes) {
            // Only the text has a limit a client may not know of: a long style value is just wrong.
            const std::string message = "The " + std::string(name) + " is longer than " + std::to_string(maxBytes) +
                                        " bytes, the most glyphtint-serve takes";
            if (name == "text") {
                throw ETextOverServiceLimit(message);
            }
            throw EUsage(message);
        }
        decoded += byte;
    }
    return decoded;
}

enum class Product { Strip, Framed, Info };

struct Query {
    std::optional<std::string> text;
    render::PictureStyle style;
};

Query ParseQuery(std::string_view query, std::size_t maxTextBytes)
{
    Query parsed;
    std::vector<std::string> seen;
    while (!query.empty()) {
        const std::size_t end = std::min(query.find('&'), query.size());
        const std::string_view pair = query.substr(0, end);
        query.remove_prefix(std::min(end + 1, query.size()));
        if (pair.empty()) {
            continue;
        }
        const std::size_t equals = std::min(pair.find('='), pair.size());
        const std::string name = DecodeQueryValue(pair.substr(0, equals), kMaxStyleValueBytes, "parameter name");
        const std::string_view encoded = pair.substr(std::min(equals + 1, pair.size()));
        const bool isText = name == "text";
        if (!isText && name != "scale" && name != "background" && name != "min-contrast" && name != "page") {
            throw EUsage("unknown parameter '" + name + "'");
        }
        if (std::ranges::find(seen, name) != seen.end()) {
            throw EUsage("parameter '" + name + "' given twice");
        }
        seen.push_back(name);
        if (isText) {
            parsed.text = DecodeQueryValue(encoded, maxTextBytes, "text");
        } else if (const std::optional<std::string> wrong = ReadStyleValue(
                       "--" + name, DecodeQueryValue(encoded, kMaxStyleValueBytes, name), parsed.style)) {
            throw EUsage(*wrong);
        }
    }
    CheckStyleCombination(parsed.style);
    return parsed;
}

std::string StyleKey(const render::PictureStyle& style)
{
    char key[160];
    const auto colour = [](const render::TColourTriple& c) { return (c.Red << 16) | (c.Green << 8) | c.Blue; };
    std::snprintf(key, sizeof key, "%d/%d/%06x/%.17g/%d", style.scale, static_cast<int>(style.background),
                  style.background == render::StripBackground::Colour ? colour(style.backgroundColour) : 0,
                  style.minContrast.value_or(0), style.page ? colour(*style.page) : -1);
    return key;
}

// A strong tag of everything the answer is made from: the pack's bytes, this program,
// what is asked and the text.
std::string EntityTag(const PackFile& file, Product product, const Query& query)
{
    sha256_ctx context;
    sha256_init(&context);
    const auto add = [&](std::string_view part) {
        sha256_update(&context, part.size(), reinterpret_cast<const std::uint8_t*>(part.data()));
        sha256_update(&context, 1, reinterpret_cast<const std::uint8_t*>("\0"));
    };
    add(std::string_view(reinterpret_cast<const char*>(file.digest), sizeof file.digest));
    add(GLYPHTINT_VERSION);
    add(std::to_string(static_cast<int>(product)));
    add(StyleKey(query.style));
    add(*query.text);
    unsigned char digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, sizeof digest, digest);
    return "\"" + Hex(digest, 16) + "\"";
}

// If-None-Match names the tag (weakly compared, as the header asks) or is "*".
bool TagMatches(std::string_view header, const std::string& tag)
{
    while (!header.empty()) {
        const std::size_t comma = std::min(header.find(','), header.size());
        std::string_view candidate = header.substr(0, comma);
        header.remove_prefix(std::min(comma + 1, header.size()));
        while (!candidate.empty() && (candidate.front() == ' ' || candidate.front() == '\t')) {
            candidate.remove_prefix(1);
        }
        while (!candidate.empty() && (candidate.back() == ' ' || candidate.back() == '\t')) {
            candidate.remove_suffix(1);
        }
        if (candidate.starts_with("W/")) {
            candidate.remove_prefix(2);
        }
        if (candidate == "*" || candidate == tag) {
            return true;
        }
    }
    return false;
}

HttpAnswer TextAnswer(int status, const std::string& message)
{
    return {status, "text/plain; charset=utf-8", render::ShownMessage(message) + "\n", {}};
}

std::string InfoJson(const std::string& text, const render::PictureStyle& style)
{
    const render::CodedTextInfo info = render::DescribeCodedText(text);
    return "{" + TextInfoJsonMembers(info, text, style) +
           ", \"not_drawn_note\": " + JsonString(render::UndrawnCharactersNote(info)) + "}\n";
}

// Each palette of the window as the samples it shows: a code and the character drawn in
// its colour, with the colour's name and value. A code whose string draws nothing after
// it has no sample there, and none here.
std::string ColoursJson()
{
    std::string json = "{\"palettes\": [";
    for (const std::string_view palette : {render::kPaletteText1, render::kPaletteText2}) {
        json += json.ends_with("]") ? ", [" : "[";
        bool first = true;
        for (std::size_t i = 0; i + 2 < palette.size(); ++i) {
            render::TColourTriple colour;
            const auto code = static_cast<unsigned char>(palette[i + 1]);
            if (palette[i] != '^' || palette[i + 2] == '^' || !render::SelectColourCode(code, colour)) {
                continue;
            }
            char value[8];
            std::snprintf(value, sizeof value, "#%02x%02x%02x", colour.Red & 255, colour.Green & 255,
                          colour.Blue & 255);
            json += std::string(first ? "" : ", ") + "{\"code\": " + JsonString(palette.substr(i + 1, 1)) +
                    ", \"sample\": " + JsonString(palette.substr(i + 2, 1)) +
                    ", \"name\": " + JsonString(render::ColourCodeName(code)) + ", \"colour\": \"" + value + "\"}";
            first = false;
            i += 2;
        }
        json += "]";
    }
    return json + "]}\n";
}

std::string_view ContentTypeOf(std::string_view name)
{
    return name.ends_with(".html")  ? "text/html; charset=utf-8"
           : name.ends_with(".css") ? "text/css; charset=utf-8"
           : name.ends_with(".js")  ? "text/javascript; charset=utf-8"
                                    : "application/json";
}

// A file of the page, or /colours.json: the same bytes for every query, tagged by them.
HttpAnswer FixedAnswer(const HttpRequest& request, std::string_view contentType, std::string body)
{
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, body.size(), reinterpret_cast<const std::uint8_t*>(body.data()));
    unsigned char digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, sizeof digest, digest);
    HttpAnswer answer{200, std::string(contentType), std::move(body), {}};
    const std::string tag = "\"" + Hex(digest, 16) + "\"";
    if (!request.ifNoneMatch.empty() && TagMatches(request.ifNoneMatch, tag)) {
        answer = {304, "", "", {}};
    }
    answer.headers = {{"ETag", tag}, {"Cache-Control", kRevalidate}};
    if (contentType.starts_with("text/html")) {
        answer.headers.emplace_back("Content-Security-Policy", kPagePolicy);
        answer.headers.emplace_back("Referrer-Policy", "no-referrer");
    }
    return answer;
}

void ReadDigest(int fd, unsigned char (&digest)[SHA256_DIGEST_SIZE])
{
    sha256_ctx context;
    sha256_init(&context);
    std::vector<std::uint8_t> buffer(1 << 16);
    for (off_t offset = 0;;) {
        const ssize_t got = pread(fd, buffer.data(), buffer.size(), offset);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw std::runtime_error(std::string("Cannot read the glyph pack: ") + std::strerror(errno));
        }
        if (got == 0) {
            break;
        }
        sha256_update(&context, static_cast<std::size_t>(got), buffer.data());
        offset += got;
    }
    sha256_digest(&context, SHA256_DIGEST_SIZE, digest);
}

} // namespace

RenderService::RenderService(std::string archive, ServiceLimits limits) : archive_(std::move(archive)), limits_(limits)
{
    Reload();
}

RenderService::~RenderService() = default;

void RenderService::Reload()
{
    auto file = std::make_shared<PackFile>();
    // Opened by name first for the archive reader's own message when it cannot be.
    file->check.Open(archive_);
    file->check.Close();
    file->fd = open(archive_.c_str(), O_RDONLY | O_CLOEXEC);
    if (file->fd < 0) {
        throw std::runtime_error("Cannot open file " + archive_ + ": " + std::strerror(errno));
    }
    file->path = "/proc/self/fd/" + std::to_string(file->fd);
    ReadDigest(file->fd, file->digest);
    file->check.Open(file->path);
    const std::lock_guard lock(mutex_);
    current_ = std::move(file);
}

std::shared_ptr<const PackFile> RenderService::Current() const
{
    const std::lock_guard lock(mutex_);
    return current_;
}

HttpAnswer RenderService::Answer(const HttpRequest& request)
{
    const std::string_view target = request.target;
    const std::size_t mark = std::min(target.find('?'), target.size());
    const std::string_view path = target.substr(0, mark);
    const std::string_view query = target.substr(std::min(mark + 1, target.size()));
    // Every page the service has besides the files of the web page.
    static constexpr std::string_view kPaths[] = {"/healthz", "/strip.png", "/framed.jpg", "/info.json",
                                                  "/colours.json"};
    // "/" is the page; its text is in the query, which the page's script reads itself.
    const std::string_view fileName = path == "/" ? std::string_view("index.html") : path.substr(path.empty() ? 0 : 1);
    const auto webFile = std::ranges::find(WebFiles(), fileName, &WebFile::name);
    const bool isWebFile = webFile != WebFiles().end() && (path == "/" || fileName != "index.html");
    HttpAnswer answer;
    // A control byte sent raw (a CR, a tab) is no part of a request target: it would
    // otherwise reach the text as it came, where a client meant something else.
    const auto control = std::ranges::find_if(target, [](char c) { return (c >= 0 && c < ' ') || c == 0x7f; });
    if (control != target.end()) {
        answer = TextAnswer(400, "the request target holds a control byte: every byte but a printable one "
                                 "goes as %XX");
    } else if (!isWebFile && std::ranges::find(kPaths, path) == std::end(kPaths)) {
        answer = TextAnswer(404, "no such page: " + std::string(path));
    } else if (request.method != "GET" && request.method != "HEAD") {
        answer = TextAnswer(405, "method " + request.method + " is not allowed: GET or HEAD");
        answer.headers.emplace_back("Allow", "GET, HEAD");
    } else if (path == "/healthz") {
        const std::shared_ptr<const PackFile> file = Current();
        answer = file && file->check.Active() ? HttpAnswer{200, "text/plain; charset=utf-8", "ok\n", {}}
                                              : TextAnswer(503, "the glyph pack is not open");
        answer.headers.emplace_back("Cache-Control", "no-store");
    } else if (isWebFile) {
        answer = FixedAnswer(request, ContentTypeOf(fileName), std::string(webFile->bytes));
    } else if (path == "/colours.json") {
        answer = FixedAnswer(request, "application/json", ColoursJson());
    } else {
        answer = AnswerPicture(request, path, query);
    }
    answer.headers.emplace_back("X-Content-Type-Options", "nosniff");
    return answer;
}

HttpAnswer RenderService::AnswerPicture(const HttpRequest& request, std::string_view path, std::string_view query)
{
    const Product product = path == "/strip.png"    ? Product::Strip
                            : path == "/framed.jpg" ? Product::Framed
                                                    : Product::Info;
    try {
        Query parsed = ParseQuery(query, limits_.maxTextBytes);
        if (!parsed.text) {
            throw EUsage("no text given: ?text=...");
        }
        const std::shared_ptr<const PackFile> file = Current();
        const std::string tag = EntityTag(*file, product, parsed);
        const std::vector<std::pair<std::string, std::string>> caching{{"ETag", tag}, {"Cache-Control", kCacheControl}};
        if (!request.ifNoneMatch.empty() && TagMatches(request.ifNoneMatch, tag)) {
            return {304, "", "", caching};
        }
        if (product == Product::Info) {
            return {200, "application/json", InfoJson(*parsed.text, parsed.style), caching};
        }
        if (product == Product::Strip && render::DescribeCodedText(*parsed.text).visibleLength == 0) {
            return TextAnswer(422, "The text draws no glyph: there is no picture to write");
        }
        // A renderer each, a few waiting; past them the client is asked to come back.
        std::unique_lock lock(renderMutex_);
        if (rendersInFlight_ >= limits_.renderers + limits_.waitingRenders) {
            HttpAnswer busy = TextAnswer(503, "every renderer is busy: try again in a second");
            busy.headers.emplace_back("Retry-After", "1");
            return busy;
        }
        ++rendersInFlight_;
        renderFree_.wait(lock, [&] { return rendersRunning_ < limits_.renderers; });
        ++rendersRunning_;
        lock.unlock();
        struct Release {
            RenderService& service;
            ~Release()
            {
                const std::lock_guard hold(service.renderMutex_);
                --service.rendersRunning_;
                --service.rendersInFlight_;
                service.renderFree_.notify_one();
            }
        } release{*this};
        render::GlyphPack& pack = PackOfThisThread(file);
        const render::StripSize size = render::MeasureCodedText(pack, *parsed.text);
        const std::int64_t scale = parsed.style.scale;
        if (size.peakPixels > kMaxServedStripPixels / (scale * scale)) {
            throw render::ETextTooLong("The picture would be larger than this service draws (" +
                                       std::to_string(kMaxServedStripPixels) + " pixels)");
        }
        const RenderJob job{
            *parsed.text, {product == Product::Strip ? PictureKind::Strip : PictureKind::Framed}, parsed.style};
        std::string bytes = std::move(RunRenderJob(job, [&]() -> render::GlyphPack& { return pack; }).front());
        return {200, product == Product::Strip ? "image/png" : "image/jpeg", std::move(bytes), caching};
    } catch (const ETextOverServiceLimit& error) {
        return TextAnswer(413, error.what());
    } catch (const EUsage& error) {
        return TextAnswer(400, error.what());
    } catch (const render::ETextTooLong& error) {
        return TextAnswer(413, render::DescribeError(error));
    } catch (const std::bad_alloc& error) {
        HttpAnswer busy = TextAnswer(503, render::DescribeError(error));
        busy.headers.emplace_back("Retry-After", "1");
        return busy;
    } catch (const std::exception& error) {
        return TextAnswer(500, render::DescribeError(error));
    }
}

} // namespace glyphtint::tools
