// RenderService: a query read into a render job, the job run with the calling thread's
// own pack, and every outcome made an HTTP answer.
#include "serve/RenderService.h"

#include "io/InputFiles.h"
#include "pictures/RenderJob.h"
#include "pictures/TextJson.h"
#include "render/CodeTokens.h"
#include "render/CodedTextInfo.h"
#include "render/ColourNames.h"
#include "render/ColourSamples.h"
#include "render/ErrorCauses.h"
#include "render/GlyphPack.h"
#include "render/NumberText.h"
#include "render/PictureStyle.h"
#include "render/ShownMessage.h"
#include "tools/CommandLine.h"
#include "render/GfxCheck.h"
#include "tools/RenderOptions.h"
#include "serve/LinkPreview.h"
#include "serve/WebFiles.h"

#include <nettle/sha2.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <stdexcept>
#include <sys/mman.h>
#include <unistd.h>

namespace glyphtint::tools {

using pictures::JsonString;

struct PackFile {
    explicit PackFile(std::string_view bytes) : memory(bytes), path(memory.Path()) { }
    const io::UnnamedFile memory; // the bytes that were digested, whatever befalls the file
    const std::string path;       // which every renderer opens
    unsigned char digest[SHA256_DIGEST_SIZE] = {};
    std::string hex; // the digest in hexadecimal
};

namespace {

// Decoded glyphs each renderer keeps between requests, so a glyph is decoded once per pack.
constexpr std::int64_t kKeptGlyphBytesPerRenderer = std::int64_t{8} << 20;
// A pack is held in memory whole; the shipped one is under 100 kB.
constexpr std::size_t kMaxPackBytes = std::size_t{64} << 20;
// Pictures failed one after another past which /healthz fails.
constexpr unsigned kFailedPicturesUnhealthy = 3;
// The most pixels one served strip may hold on the way (64 MB as RGBA), whatever the
// scale: a render's memory stays bounded however many workers draw at once.
constexpr std::int64_t kMaxServedStripPixels = std::int64_t{1} << 24;
const pictures::PlanLimits kServedPictureLimits{kMaxServedStripPixels,
                                                "The picture would be larger than this service draws (" +
                                                    std::to_string(kMaxServedStripPixels) + " pixels)"};
// Style values are a few characters; longer ones are refused while decoding.
constexpr std::size_t kMaxStyleValueBytes = 64;
// Only an address naming the pack (v=) is sure to get the same bytes for ever.
constexpr const char* kImmutable = "public, max-age=31536000, immutable";
// The page and its files change with the program: asked again each time, answered 304.
constexpr const char* kRevalidate = "no-cache";
// The page runs its own script and style only, and nothing may frame it. It shows strips
// it fetched itself as blob: pictures, and no string ever becomes markup or script
// (Trusted Types: an innerHTML of a string throws).
constexpr const char* kPagePolicy = "default-src 'self'; img-src 'self' blob:; base-uri 'none'; form-action 'self'; "
                                    "frame-ancestors 'none'; object-src 'none'; require-trusted-types-for 'script'";

// A text past the service's limit: 413 rather than 400.
class ETextOverServiceLimit : public EUsage {
public:
    using EUsage::EUsage;
};

std::string Hex(const unsigned char* bytes, std::size_t size)
{
    return render::HexString({bytes, size});
}

// The bytes of a query parameter, '+' as a space and every %XX as its byte. Raises EUsage
// for a malformed escape, and for a value longer than maxBytes as soon as it passes it.
std::string DecodeQueryValue(std::string_view encoded, std::size_t maxBytes, std::string_view name,
                             bool plusIsSpace = true)
{
    std::string decoded;
    decoded.reserve(std::min(encoded.size(), maxBytes));
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        char byte = encoded[i];
        if (byte == '+' && plusIsSpace) {
            byte = ' ';
        } else if (byte == '%') {
            const int hi = i + 1 < encoded.size() ? render::HexDigit(encoded[i + 1]) : -1;
            const int lo = i + 2 < encoded.size() ? render::HexDigit(encoded[i + 2]) : -1;
            if (hi < 0 || lo < 0) {
                throw EUsage("malformed percent escape in " + std::string(name) + ": '%' takes two hexadecimal digits");
            }
            byte = static_cast<char>(hi << 4 | lo);
            i += 2;
        }
        if (decoded.size() == maxBytes) {
            // Only the text has a limit a client may not know of: a long style value is just wrong.
            const std::string message = (name == "parameter name" ? "A parameter name" : std::string(name) + "=") +
                                        " is longer than " + std::to_string(maxBytes) +
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

// Kept in this order: a product's number is part of its pictures' tags.
enum class Product { Strip, Framed, Info, Card };

pictures::PictureKind KindOf(Product product)
{
    return product == Product::Strip    ? pictures::PictureKind::Strip
           : product == Product::Framed ? pictures::PictureKind::Framed
           : product == Product::Card   ? pictures::PictureKind::Card
                                        : pictures::PictureKind::Info;
}

struct Query {
    std::optional<std::string> text;
    render::PictureStyle style;
    std::string packVersion;                   // v: the first 12 hexadecimal digits of the pack's digest
    const render::GameProfile* game = nullptr; // game: whose rules read the text
};

// The profile a game= value names; raises EUsage naming the known ids otherwise.
const render::GameProfile& GameNamed(const std::string& id)
{
    const render::GameProfile* game = render::FindGameProfile(id);
    if (game == nullptr) {
        throw EUsage("game= takes one of " + render::KnownGameIds() + ", not '" + id + "'");
    }
    return *game;
}

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
        if (!isText && name != "v" && name != "game" && name != "scale" && name != "background" &&
            name != "min-contrast" && name != "page") {
            throw EUsage("unknown parameter '" + name + "'");
        }
        if (std::ranges::find(seen, name) != seen.end()) {
            throw EUsage("parameter '" + name + "' given twice");
        }
        seen.push_back(name);
        if (isText) {
            parsed.text = DecodeQueryValue(encoded, maxTextBytes, "text");
        } else if (name == "v") {
            parsed.packVersion = DecodeQueryValue(encoded, kMaxStyleValueBytes, name);
        } else if (name == "game") {
            parsed.game = &GameNamed(DecodeQueryValue(encoded, kMaxStyleValueBytes, name));
        } else if (const std::optional<std::string> wrong =
                       ReadStyleValue(name, DecodeQueryValue(encoded, kMaxStyleValueBytes, name), parsed.style,
                                      StyleNaming::UrlParameter)) {
            throw EUsage(*wrong);
        }
    }
    CheckStyleCombination(parsed.style, StyleNaming::UrlParameter);
    return parsed;
}

// The style and, when one is chosen, the game: one part of the tag, which holds no NUL
// for a text to run into.
// The game a query names with game=, glyphtint's own without; the rest of the query is
// not read. Raises EUsage for a game that is not known or a malformed value.
const render::GameProfile& GameOfQuery(std::string_view query)
{
    while (!query.empty()) {
        const std::size_t end = std::min(query.find('&'), query.size());
        const std::string_view pair = query.substr(0, end);
        query.remove_prefix(std::min(end + 1, query.size()));
        if (pair.starts_with("game=")) {
            return GameNamed(DecodeQueryValue(pair.substr(5), kMaxStyleValueBytes, "game"));
        }
    }
    return render::DefaultGameProfile();
}

std::string StyleKey(const render::PictureStyle& style, const render::GameProfile* game)
{
    char key[160];
    const auto colour = [](const render::TColourTriple& c) { return (c.Red << 16) | (c.Green << 8) | c.Blue; };
    // The ratio as %.17g writes it in the C locale, so that every instance tags alike.
    std::snprintf(key, sizeof key, "%d/%d/%06x/%s/%d", style.scale, static_cast<int>(style.background),
                  style.background == render::StripBackground::Colour ? colour(style.backgroundColour) : 0,
                  render::FormatDecimal(style.minContrast.value_or(0), 17, std::chars_format::general).c_str(),
                  style.page ? colour(*style.page) : -1);
    return game != nullptr ? key + std::string("/") + std::string(game->id) : key;
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
    add(StyleKey(query.style, query.game));
    add(*query.text);
    unsigned char digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, sizeof digest, digest);
    return "\"" + Hex(digest, 16) + "\"";
}

enum class TagMatch { None, Listed, Any };

// A byte that may stand inside an entity tag's quotes.
bool IsTagByte(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte == 0x21 || (byte >= 0x23 && byte != 0x7f);
}

// How an If-None-Match value meets tag: it lists it (weakly compared: W/ is ignored), it
// is "*", or neither. A value outside the header's grammar matches nothing: a cut tag is
// no tag.
TagMatch MatchIfNoneMatch(std::string_view header, std::string_view tag)
{
    const auto skipSpace = [&] {
        while (!header.empty() && (header.front() == ' ' || header.front() == '\t')) {
            header.remove_prefix(1);
        }
    };
    while (!header.empty() && (header.back() == ' ' || header.back() == '\t')) {
        header.remove_suffix(1);
    }
    skipSpace();
    if (header == "*") {
        return TagMatch::Any;
    }
    bool listed = false;
    for (;;) {
        skipSpace();
        if (header.empty()) {
            return listed ? TagMatch::Listed : TagMatch::None;
        }
        if (header.front() == ',') { // an empty list element
            header.remove_prefix(1);
            continue;
        }
        if (header.starts_with("W/")) {
            header.remove_prefix(2);
        }
        if (header.empty() || header.front() != '"') {
            return TagMatch::None;
        }
        std::size_t close = 1;
        while (close < header.size() && IsTagByte(header[close])) {
            ++close;
        }
        if (close == header.size() || header[close] != '"') {
            return TagMatch::None;
        }
        listed = listed || header.substr(0, close + 1) == tag;
        header.remove_prefix(close + 1);
        skipSpace();
        if (!header.empty() && header.front() != ',') {
            return TagMatch::None;
        }
    }
}

// What a path asks for when it is that of a picture or a description: the query forms,
// and /n/TEXT.png (the strip) and /n/TEXT.jpg (the framed picture) for sites that take
// only addresses ending so.
std::optional<Product> PictureProduct(std::string_view path)
{
    if (path.starts_with("/n/") && path.size() > 7) {
        return path.ends_with(".png")   ? std::optional(Product::Strip)
               : path.ends_with(".jpg") ? std::optional(Product::Framed)
                                        : std::nullopt;
    }
    return path == "/strip.png"    ? std::optional(Product::Strip)
           : path == "/framed.jpg" ? std::optional(Product::Framed)
           : path == "/info.json"  ? std::optional(Product::Info)
           : path == "/card.png"   ? std::optional(Product::Card)
                                   : std::nullopt;
}

// The text of a path /n/TEXT.png, where '+' is itself.
std::optional<std::string> PathText(std::string_view path, std::size_t maxTextBytes)
{
    if (!path.starts_with("/n/")) {
        return std::nullopt;
    }
    return DecodeQueryValue(path.substr(3, path.size() - 7), maxTextBytes, "text", false);
}

// The page's text= when it can be read; the page's script reports what is wrong with it.
std::optional<std::string> PageText(std::string_view query, std::size_t maxTextBytes)
{
    while (!query.empty()) {
        const std::size_t end = std::min(query.find('&'), query.size());
        const std::string_view pair = query.substr(0, end);
        query.remove_prefix(std::min(end + 1, query.size()));
        if (pair.starts_with("text=")) {
            try {
                return DecodeQueryValue(pair.substr(5), maxTextBytes, "text");
            } catch (const EUsage&) {
                return std::nullopt;
            }
        }
    }
    return std::nullopt;
}

// Every byte but the unreserved ones as %XX.
std::string EncodeQueryValue(std::string_view value)
{
    std::string encoded;
    for (const char c : value) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            encoded += c;
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", static_cast<unsigned char>(c));
            encoded += escape;
        }
    }
    return encoded;
}

void AddCommonHeaders(HttpAnswer& answer, bool shared)
{
    answer.headers.emplace_back("X-Content-Type-Options", "nosniff");
    if (shared) {
        answer.headers.emplace_back("Access-Control-Allow-Origin", "*");
    }
}

HttpAnswer TextAnswer(int status, const std::string& message)
{
    return {status, "text/plain; charset=utf-8", render::ShownMessage(message) + "\n", {}};
}

// Each palette of the window as the samples it shows for the game: a code and the
// character drawn in its colour, with the colour's name and value. A code whose string
// draws nothing after it has no sample there, and none here.
std::string ColoursJson(const render::GameProfile& game)
{
    std::string json = "{\"palettes\": [";
    for (const std::string& palette : render::PaletteTexts(game)) {
        json += json.ends_with("]") ? ", [" : "[";
        bool first = true;
        render::CodeTokenizer tokens(palette, game.rules);
        render::CodeToken token;
        int code = -1; // a code whose sample may follow, or -1
        while (tokens.Next(token)) {
            if (token.kind == render::ByteKind::Code) {
                code = token.byte;
                continue;
            }
            if (code < 0 || token.kind != render::ByteKind::Drawn) {
                code = -1;
                continue;
            }
            const render::TColourTriple colour = token.colour;
            json += std::string(first ? "" : ", ") +
                    "{\"code\": " + JsonString(std::string(1, static_cast<char>(code))) +
                    ", \"sample\": " + JsonString(std::string(1, static_cast<char>(token.byte))) +
                    ", \"name\": " + JsonString(render::ColourName(colour)) + ", \"colour\": \"" +
                    pictures::HexColour(colour) + "\"}";
            first = false;
            code = -1;
        }
        json += "]";
    }
    return json + "]}\n";
}

// The games a text may be read as, glyphtint's own first: id, title and name limit in
// bytes (null where the game keeps any length).
std::string GamesJson()
{
    std::string json = "[";
    for (const render::GameProfile& game : render::GameProfiles()) {
        json += std::string(json.size() > 1 ? ",\n " : "") + "{\"id\": " + JsonString(game.id) +
                ", \"title\": " + JsonString(game.title) +
                ", \"limit\": " + (game.byteLimit ? std::to_string(*game.byteLimit) : std::string("null")) + "}";
    }
    return json + "]\n";
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
    if (MatchIfNoneMatch(request.ifNoneMatch, tag) != TagMatch::None) {
        answer = {304, "", "", {}};
    }
    answer.headers = {{"ETag", tag}, {"Cache-Control", kRevalidate}};
    if (contentType.starts_with("text/html")) {
        answer.headers.emplace_back("Content-Security-Policy", kPagePolicy);
        answer.headers.emplace_back("Referrer-Policy", "no-referrer");
    }
    return answer;
}

// The pack's bytes copied once into sealed memory and digested there: a file rewritten
// in place later changes neither what is drawn nor its tags.
std::shared_ptr<const PackFile> ReadPack(const std::string& archive)
{
    {
        // Opened by name first for the archive reader's own message when it cannot be.
        render::GlyphPack check;
        check.Open(archive);
    }
    std::string bytes;
    try {
        bytes = io::ReadRegularFile(archive, kMaxPackBytes);
    } catch (const io::EInputFileError& error) {
        throw std::runtime_error("Cannot read the glyph pack " + archive + ": " + error.what());
    }
    auto file = std::make_shared<PackFile>(bytes);
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
    sha256_digest(&context, sizeof file->digest, file->digest);
    file->hex = Hex(file->digest, sizeof file->digest);
    // A pack with a glyph that cannot be drawn would answer every text using it 500.
    if (const std::vector<std::string> problems = render::CheckGlyphArchive(file->path); !problems.empty()) {
        throw std::runtime_error("The glyph pack " + archive + " cannot draw every glyph: " + problems.front() +
                                 (problems.size() > 1 ? " (and " + std::to_string(problems.size() - 1) +
                                                            " more problems; glyphtint-gfx check lists them)"
                                                      : ""));
    }
    return file;
}

HttpAnswer Busy(double waitSeconds, const std::string& message)
{
    HttpAnswer busy = TextAnswer(503, message);
    const double seconds = std::ceil(std::max(waitSeconds, 1.0));
    busy.headers.emplace_back("Retry-After", std::to_string(static_cast<long long>(std::min(seconds, 86400.0))));
    return busy;
}

} // namespace

// One renderer's own pack, opened from the current pack before each render.
struct RenderService::Renderer {
    std::shared_ptr<const PackFile> file; // the pack open in pack; none when it would not open
    render::GlyphPack pack{kKeptGlyphBytesPerRenderer};
    std::string openError;
    bool withoutPack = false;
};

struct RenderService::PictureJob {
    Product product;
    Query query;
    std::string ifNoneMatch;
    // The pack the request was checked against and its tag, reused when the renderer
    // draws with that same pack.
    std::shared_ptr<const PackFile> checkedFile;
    std::string checkedTag;
    Reply reply;
    HttpAnswer answer; // made by a renderer, sent by the delivery
};

RenderService::RenderService(std::string archive, ServiceLimits limits) : archive_(std::move(archive)), limits_(limits)
{
    current_ = ReadPack(archive_);
    for (unsigned i = 0; i < limits_.renderers; ++i) {
        renderers_.push_back(std::make_unique<Renderer>());
    }
    pool_ = std::make_unique<RendererPool>(limits_.renderers, limits_.maxWaitSeconds,
                                           [this](unsigned renderer) { Refresh(renderer); });
    pool_->Refresh();
}

RenderService::~RenderService()
{
    // Its threads run the jobs still queued, which use the renderers.
    pool_.reset();
}

void RenderService::Reload()
{
    std::shared_ptr<const PackFile> file = ReadPack(archive_);
    {
        const std::lock_guard lock(mutex_);
        current_ = std::move(file);
    }
    // Idle renderers let go of the pack before at once, busy ones after their render.
    pool_->Refresh();
}

std::shared_ptr<const PackFile> RenderService::Current() const
{
    const std::lock_guard lock(mutex_);
    return current_;
}

void RenderService::Refresh(unsigned index)
{
    Renderer& renderer = *renderers_[index];
    std::shared_ptr<const PackFile> file = Current();
    if (renderer.file == file) {
        return;
    }
    renderer.file.reset();
    bool opened = false;
    try {
        renderer.pack.Open(file->path);
        renderer.file = std::move(file);
        opened = true;
    } catch (const std::exception& error) {
        renderer.pack.Close();
        renderer.openError = render::DescribeError(error);
    }
    if (opened == renderer.withoutPack) {
        renderer.withoutPack = !opened;
        opened ? --renderersWithoutPack_ : ++renderersWithoutPack_;
    }
}

HttpAnswer RenderService::Health() const
{
    const std::shared_ptr<const PackFile> file = Current();
    HttpAnswer answer;
    if (renderersWithoutPack_ == renderers_.size()) {
        answer = TextAnswer(503, "no renderer can open the glyph pack");
    } else if (const unsigned failed = failedInARow_; failed >= kFailedPicturesUnhealthy) {
        answer = TextAnswer(503, "the last " + std::to_string(failed) + " pictures failed");
    } else {
        answer = {200, "text/plain; charset=utf-8", "ok\n", {{"X-Glyph-Pack", "sha256:" + file->hex}}};
    }
    answer.headers.emplace_back("Cache-Control", "no-store");
    return answer;
}

std::optional<HttpAnswer> RenderService::Answer(const HttpRequest& request, Reply reply)
{
    const std::string_view target = request.target;
    const std::size_t mark = std::min(target.find('?'), target.size());
    const std::string_view path = target.substr(0, mark);
    const std::string_view query = target.substr(std::min(mark + 1, target.size()));
    // "/" is the page, filled in for the text in its query.
    const std::string_view fileName = path == "/" ? std::string_view("index.html") : path.substr(path.empty() ? 0 : 1);
    const auto webFile = std::ranges::find(WebFiles(), fileName, &WebFile::name);
    const bool isWebFile = webFile != WebFiles().end() && (path == "/" || fileName != "index.html");
    // Pictures and descriptions are for any site's pages and scripts; the page is not.
    const bool shared = PictureProduct(path) || path == "/colours.json" || path == "/games.json";
    HttpAnswer answer;
    // A control byte sent raw (a CR, a tab) is no part of a request target: it would
    // otherwise reach the text as it came, where a client meant something else.
    const auto control = std::ranges::find_if(target, [](char c) { return (c >= 0 && c < ' ') || c == 0x7f; });
    if (control != target.end()) {
        answer = TextAnswer(400, "the request target holds a control byte: every byte but a printable one "
                                 "goes as %XX");
    } else if (!isWebFile && !shared && path != "/healthz") {
        answer = TextAnswer(404, "no such page: " + std::string(path));
    } else if (request.method != "GET" && request.method != "HEAD") {
        answer = TextAnswer(405, "method " + request.method + " is not allowed: GET or HEAD");
        answer.headers.emplace_back("Allow", "GET, HEAD");
    } else if (path == "/healthz") {
        answer = Health();
    } else if (path == "/") {
        answer = Page(request, webFile->bytes, query);
    } else if (isWebFile) {
        answer = FixedAnswer(request, ContentTypeOf(fileName), std::string(webFile->bytes));
    } else if (path == "/colours.json") {
        try {
            answer = FixedAnswer(request, "application/json", ColoursJson(GameOfQuery(query)));
        } catch (const EUsage& error) {
            answer = TextAnswer(400, error.what());
        }
    } else if (path == "/games.json") {
        answer = FixedAnswer(request, "application/json", GamesJson());
    } else {
        std::optional<HttpAnswer> picture = AnswerPicture(request, path, query, reply);
        if (!picture) {
            return std::nullopt;
        }
        answer = std::move(*picture);
    }
    AddCommonHeaders(answer, shared);
    return answer;
}

HttpAnswer RenderService::Page(const HttpRequest& request, std::string_view page, std::string_view query) const
{
    PagePreview preview{.title = "glyphtint",
                        .description = "Names in colour codes drawn as the game draws them: type one to see its "
                                       "picture.",
                        .publicUrl = limits_.publicUrl,
                        .pageUrl = limits_.publicUrl,
                        .imageUrl = "",
                        .imageAlt = ""};
    if (const std::optional<std::string> text = PageText(query, limits_.maxTextBytes)) {
        // The page tells an unknown game itself; its preview then reads the text as glyphtint does.
        const render::GameProfile* game = &render::DefaultGameProfile();
        try {
            game = &GameOfQuery(query);
        } catch (const EUsage&) {
        }
        const render::CodeRules& rules = game->rules;
        if (const std::string name = render::DescribeCodedText(*text, rules).plainText; !name.empty()) {
            preview.title = name;
            preview.description = render::DescribePicture(*text, {}, rules);
            preview.imageAlt = preview.description;
            if (!limits_.publicUrl.empty()) {
                std::string asked = "text=" + EncodeQueryValue(*text);
                if (game != &render::DefaultGameProfile()) {
                    asked += "&game=" + std::string(game->id);
                }
                preview.pageUrl = limits_.publicUrl + "?" + asked;
                // Naming the pack, the card may be kept for ever by whoever fetches it.
                preview.imageUrl = limits_.publicUrl + "card.png?" + asked + "&v=" + Current()->hex.substr(0, 12);
            }
        }
    }
    // The page's tag is that of its bytes, which hold the text: each text its own tag.
    return FixedAnswer(request, "text/html; charset=utf-8", FillPage(page, preview));
}

namespace {

std::vector<std::pair<std::string, std::string>> CachingHeaders(const std::string& tag, const PackFile& file,
                                                                const Query& query, unsigned maxAgeSeconds)
{
    const bool namesPack = query.packVersion.size() == 12 && file.hex.starts_with(query.packVersion);
    return {{"ETag", tag},
            {"Cache-Control", namesPack ? kImmutable : "public, max-age=" + std::to_string(maxAgeSeconds)}};
}

// The answers a render cannot change, as far as the client can cause them.
HttpAnswer RefusedPicture()
{
    try {
        throw;
    } catch (const ETextOverServiceLimit& error) {
        return TextAnswer(413, error.what());
    } catch (const pictures::ENothingToDraw& error) {
        return TextAnswer(422, error.what());
    } catch (const EUsage& error) {
        return TextAnswer(400, error.what());
    } catch (const render::ETextTooLong& error) {
        return TextAnswer(413, render::DescribeError(error));
    } catch (const std::bad_alloc& error) {
        return Busy(1, render::DescribeError(error));
    } catch (const std::exception& error) {
        return TextAnswer(500, render::DescribeError(error));
    }
}

} // namespace

std::optional<HttpAnswer> RenderService::AnswerPicture(const HttpRequest& request, std::string_view path,
                                                       std::string_view query, Reply& reply)
{
    const Product product = *PictureProduct(path);
    try {
        Query parsed = ParseQuery(query, limits_.maxTextBytes);
        if (std::optional<std::string> text = PathText(path, limits_.maxTextBytes)) {
            if (parsed.text) {
                throw EUsage("the text is in the path already: text= is not taken beside it");
            }
            parsed.text = std::move(text);
        }
        if (!parsed.text) {
            throw EUsage("no text given: ?text=...");
        }
        if (product == Product::Card) {
            // A card takes the largest scale that fits: scale= changes neither its bytes nor its tag.
            parsed.style.scale = 1;
        }
        // What the text alone refuses is answered before a renderer is waited for.
        pictures::PlanText(*parsed.text, std::array{KindOf(product)}, parsed.style, {}, parsed.game).Require();
        const std::shared_ptr<const PackFile> file = Current();
        const std::string tag = EntityTag(*file, product, parsed);
        const TagMatch match = MatchIfNoneMatch(request.ifNoneMatch, tag);
        if (match == TagMatch::Listed) {
            return HttpAnswer{304, "", "", CachingHeaders(tag, *file, parsed, limits_.maxAgeSeconds)};
        }
        auto job = std::make_shared<PictureJob>(
            PictureJob{product, std::move(parsed), request.ifNoneMatch, file, tag, std::move(reply), {}});
        const std::optional<double> wait = pool_->Submit([this, job](unsigned renderer) -> RendererPool::Delivery {
            try {
                Refresh(renderer);
                job->answer = Draw(*renderers_[renderer], *job);
                AddCommonHeaders(job->answer, true);
            } catch (...) {
                // Out of memory even for a message: a bare 503, which needs none.
                job->answer.status = 503;
                job->answer.contentType.clear();
                job->answer.body.clear();
                job->answer.headers.clear();
            }
            // One pointer: held in the delivery without allocating, so the reply is sure.
            return [job] { job->reply(std::move(job->answer)); };
        });
        if (wait) {
            return Busy(*wait, "every renderer is busy: try again later");
        }
        return std::nullopt;
    } catch (...) {
        return RefusedPicture();
    }
}

HttpAnswer RenderService::Draw(Renderer& renderer, const PictureJob& job)
{
    HttpAnswer answer;
    try {
        // A description needs no glyph, and is tagged with the pack in service.
        const std::shared_ptr<const PackFile> drawing = job.product == Product::Info ? Current() : renderer.file;
        if (!drawing) {
            throw std::runtime_error("The glyph pack could not be opened: " + renderer.openError);
        }
        // Tagged with the pack this renderer draws with, which may be newer than the one
        // the request was checked against.
        const PackFile& file = *drawing;
        const std::string tag = drawing == job.checkedFile ? job.checkedTag : EntityTag(file, job.product, job.query);
        auto caching = CachingHeaders(tag, file, job.query, limits_.maxAgeSeconds);
        const TagMatch match = MatchIfNoneMatch(job.ifNoneMatch, tag);
        if (match != TagMatch::None && (match == TagMatch::Listed || job.product == Product::Info)) {
            answer = {304, "", "", std::move(caching)};
        } else if (job.product == Product::Info) {
            answer = {200, "application/json", pictures::TextInfoJson(*job.query.text, job.query.style, job.query.game),
                      std::move(caching)};
        } else {
            const pictures::RenderJob render{*job.query.text, {KindOf(job.product)}, job.query.style, job.query.game};
            std::string bytes =
                std::move(pictures::RunRenderJob(
                              render, [&]() -> render::GlyphPack& { return renderer.pack; }, kServedPictureLimits)
                              .front());
            // "*" stands for any picture there is: a refusal stays what it is.
            const bool jpeg = job.product == Product::Framed;
            answer = match == TagMatch::Any
                         ? HttpAnswer{304, "", "", std::move(caching)}
                         : HttpAnswer{200, jpeg ? "image/jpeg" : "image/png", std::move(bytes), std::move(caching)};
            if (answer.status == 200) {
                // Saved under the name it shows rather than the address's last part.
                answer.headers.emplace_back(
                    "Content-Disposition",
                    DownloadDisposition(
                        render::DescribeCodedText(*job.query.text, pictures::RulesOf(job.query.game)).plainText,
                        jpeg ? "jpg" : "png"));
            }
        }
    } catch (...) {
        answer = RefusedPicture();
    }
    if (answer.status == 500) {
        ++failedInARow_;
    } else if (answer.status < 400) {
        failedInARow_ = 0;
    }
    return answer;
}

} // namespace glyphtint::tools
