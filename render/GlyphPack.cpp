// GlyphPack, RenderCodedText and AppendGlyph: pack entry -> JPEG glyph -> strip -> tint.
#include "render/GlyphPack.h"

#include "archive/ZipArchive.h"
#include "raster/JPEGImage.h"
#include "render/GlyphLimits.h"
#include "render/GlyphNames.h"
#include "render/Tint.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

namespace glyphtint::render {
namespace {

using EntryIdentity = TZipArchive::EntryIdentity;

// A glyph as drawn: its pixels once tinted to one colour on one background, as device
// pixels (red, green, blue, and the alpha byte of a transparent strip).
struct TintedTile {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

// A glyph's entry, its tint and what it is drawn on: what its tinted pixels depend on.
using TintKey = std::tuple<EntryIdentity, TintBackground::Kind, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                           std::int32_t, std::int32_t>;

TintKey KeyOf(const EntryIdentity& identity, TColourTriple colour, const TintBackground& background)
{
    // Only a plain colour background has a colour that matters.
    const TColourTriple under = background.kind == TintBackground::Kind::Colour ? background.colour : TColourTriple{};
    return {identity, background.kind, colour.Red, colour.Green, colour.Blue, under.Red, under.Green, under.Blue};
}

// Decoded glyphs by the data they came from, so that each entry is read and decoded once
// however many names lead to it, and the kept glyphs as tinted, so that each is tinted
// once for each colour it is drawn in. Kept up to a number of bytes, decoded glyphs first
// (a render needs them before it tints); past it glyphs are decoded or tinted every time.
class GlyphCache {
public:
    explicit GlyphCache(std::int64_t maxBytes) : maxBytes_(maxBytes) { }

    std::shared_ptr<TJPEGImage> Find(const std::optional<EntryIdentity>& identity) const
    {
        if (!identity) {
            return nullptr;
        }
        const auto found = glyphs_.find(*identity);
        return found == glyphs_.end() ? nullptr : found->second;
    }
    // entryBytes: the size of the entry the glyph was loaded from, which it keeps too.
    // Whether the glyph is kept.
    bool Keep(const std::optional<EntryIdentity>& identity, std::shared_ptr<TJPEGImage> glyph, std::size_t entryBytes)
    {
        const std::int64_t bytes =
            std::int64_t{glyph->Width()} * glyph->Height() * 4 + static_cast<std::int64_t>(entryBytes);
        if (identity && bytes_ + bytes <= maxBytes_) {
            bytes_ += bytes;
            glyphs_.emplace(*identity, std::move(glyph));
            return true;
        }
        return false;
    }

    const TintedTile* FindTinted(const TintKey& key) const
    {
        const auto found = tinted_.find(key);
        return found == tinted_.end() ? nullptr : &found->second;
    }
    bool HasRoomFor(int width, int height) const { return bytes_ + TileBytes(width, height) <= maxBytes_; }
    void KeepTinted(const TintKey& key, TintedTile tile)
    {
        const std::int64_t bytes = TileBytes(tile.width, tile.height);
        if (bytes_ + bytes <= maxBytes_ && tinted_.emplace(key, std::move(tile)).second) {
            bytes_ += bytes;
        }
    }

    void Clear()
    {
        glyphs_.clear();
        tinted_.clear();
        bytes_ = 0;
    }

private:
    static std::int64_t TileBytes(int width, int height) { return std::int64_t{width} * height * 4; }

    std::int64_t maxBytes_;
    std::map<EntryIdentity, std::shared_ptr<TJPEGImage>> glyphs_;
    std::map<TintKey, TintedTile> tinted_;
    std::int64_t bytes_ = 0;
};

// Raises ETextTooLong, naming what was asked for and the limit, for a strip of this size
// past the limits.
void RequireStripWithin(const StripSize& size)
{
    if (std::optional<std::string> refusal = StripPastLimits(size)) {
        throw ETextTooLong(*refusal);
    }
}

// Widens the strip by a glyph of the given size and takes its height; returns the old
// right edge, where the glyph goes. tallest is the tallest glyph placed so far, whose
// rows the strip's storage keeps: the strip's limits are held here too, for glyphs no
// measurement saw beforehand.
int GrowStrip(TBitmap& strip, int width, int height, std::int64_t& tallest)
{
    const int left = strip.Width();
    StripSize grown;
    grown.width = std::int64_t{left} + width;
    grown.height = height;
    grown.tallest = std::max<std::int64_t>(tallest, height);
    grown.peakPixels = grown.width * grown.tallest;
    RequireStripWithin(grown);
    tallest = grown.tallest;
    strip.ResizeWidth(left + width);
    // The strip takes each glyph's height in turn: a taller glyph grows it with white
    // rows, a shorter one cuts the glyphs before it.
    strip.ResizeHeight(height);
    return left;
}

// Draws and tints the glyph at the strip's right edge; returns where it went.
int PlaceGlyph(TBitmap& strip, TJPEGImage& glyph, TColourTriple colour, const TintBackground& background,
               std::int64_t& tallest)
{
    const int left = GrowStrip(strip, glyph.Width(), glyph.Height(), tallest);
    strip.Canvas().DrawGraphic(left, 0, &glyph);
    TintBitmapAreaOnto(strip, left, 0, glyph.Width(), glyph.Height(), colour, background);
    return left;
}

// Tiles are copied as device pixels, the only depth a strip is drawn at.
bool TakesTiles(const TBitmap& strip)
{
    return strip.PixelFormat() == TPixelFormat::pfDevice;
}

TintedTile TileAt(const TBitmap& strip, int left, int width, int height)
{
    TintedTile tile{width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width) * height)};
    for (int y = 0; y < height; ++y) {
        std::memcpy(&tile.pixels[static_cast<std::size_t>(y) * width], strip.ScanLine(y) + std::size_t{4} * left,
                    std::size_t{4} * width);
    }
    return tile;
}

void PlaceTile(TBitmap& strip, const TintedTile& tile, std::int64_t& tallest)
{
    const int left = GrowStrip(strip, tile.width, tile.height, tallest);
    for (int y = 0; y < tile.height; ++y) {
        std::memcpy(strip.ScanLine(y) + std::size_t{4} * left, &tile.pixels[static_cast<std::size_t>(y) * tile.width],
                    std::size_t{4} * tile.width);
    }
    strip.NotifyChanged();
}

// Holds the pack's password requests back while it lives.
class RequestsHeld {
public:
    explicit RequestsHeld(bool& held) : held_(held), was_(std::exchange(held, true)) { }
    RequestsHeld(const RequestsHeld&) = delete;
    RequestsHeld& operator=(const RequestsHeld&) = delete;
    ~RequestsHeld() { held_ = was_; }

private:
    bool& held_;
    bool was_;
};

} // namespace

struct GlyphPack::Impl {
    explicit Impl(std::int64_t keptGlyphBytes) : keeps(keptGlyphBytes > 0), decoded(keptGlyphBytes)
    {
        archive.OnPassword = [this](TZipBaseArchiver&, const std::string& entryName, std::string& password,
                                    bool& skip) {
            if (requestsHeld || !request) {
                skip = true;
                return;
            }
            request(entryName, password, skip);
        };
    }

    void Forget()
    {
        decoded.Clear();
        sides.clear();
    }

    void AppendCachedGlyph(TPicture& target, std::string& extractionBuffer, GlyphCache& cache, unsigned char character,
                           TColourTriple colour, const TintBackground& background, std::int64_t& tallest)
    {
        const std::string entryName = FullGlyphEntryName(character);
        if (entryName.empty()) {
            return;
        }
        TBitmap& strip = target.AsBitmap();
        const std::optional<EntryIdentity> identity = archive.FindEntryIdentity(entryName);
        std::optional<TintKey> key;
        if (identity && TakesTiles(strip)) {
            key = KeyOf(*identity, colour, background);
            if (const TintedTile* tile = cache.FindTinted(*key)) {
                PlaceTile(strip, *tile, tallest);
                return;
            }
        }
        std::shared_ptr<TJPEGImage> glyph = cache.Find(identity);
        if (!glyph) {
            glyph = std::make_shared<TJPEGImage>();
            archive.ExtractEntryBytesUpTo(entryName, extractionBuffer, kMaxGlyphEntryBytes);
            glyph->LoadJPEG(std::string_view(extractionBuffer));
            // The header's size, before the glyph is decoded.
            RequireGlyphWithin(entryName, glyph->Width(), glyph->Height());
            const int left = PlaceGlyph(strip, *glyph, colour, background, tallest);
            if (cache.Keep(identity, glyph, extractionBuffer.size())) {
                KeepTile(cache, key, strip, left, *glyph);
            }
            return;
        }
        const int left = PlaceGlyph(strip, *glyph, colour, background, tallest);
        KeepTile(cache, key, strip, left, *glyph);
    }

    static void KeepTile(GlyphCache& cache, const std::optional<TintKey>& key, const TBitmap& strip, int left,
                         const TJPEGImage& glyph)
    {
        if (key && cache.HasRoomFor(glyph.Width(), glyph.Height())) {
            cache.KeepTinted(*key, TileAt(strip, left, glyph.Width(), glyph.Height()));
        }
    }

    TZipArchive archive;
    PasswordRequest request;
    // Set while measuring: an encrypted entry then gives its bytes only with the password
    // already given, and none otherwise. The render asks, once.
    bool requestsHeld = false;
    bool keeps;
    // With keeps: the glyphs and glyph sizes read by earlier renders and measurements.
    GlyphCache decoded;
    std::map<EntryIdentity, std::pair<int, int>> sides;
};

GlyphPack::GlyphPack(std::int64_t keptGlyphBytes) : impl_(std::make_unique<Impl>(keptGlyphBytes))
{
}
GlyphPack::~GlyphPack() = default;
GlyphPack::GlyphPack(GlyphPack&&) noexcept = default;
GlyphPack& GlyphPack::operator=(GlyphPack&&) noexcept = default;

void GlyphPack::Open(const std::string& path)
{
    impl_->archive.Close();
    impl_->Forget();
    impl_->archive.FileName = path;
    impl_->archive.Open(0);
}

void GlyphPack::Close()
{
    impl_->archive.Close();
    impl_->Forget();
}

bool GlyphPack::Active() const
{
    return impl_->archive.Active();
}

void GlyphPack::SetPasswordRequest(PasswordRequest request)
{
    impl_->request = std::move(request);
}

std::optional<std::string> StripPastLimits(const StripSize& size)
{
    if (size.width > kMaxStripWidth) {
        return "The text is too long: its picture would be " + std::to_string(size.width) +
               " pixels wide, and at most " + std::to_string(kMaxStripWidth) + " are drawn";
    }
    if (size.peakPixels > kMaxStripPixels) {
        return "The text is too long: its picture would need " + std::to_string(size.peakPixels) +
               " pixels, and at most " + std::to_string(kMaxStripPixels) + " are drawn";
    }
    return std::nullopt;
}

StripSize MeasureCodedText(GlyphPack& pack, std::string_view text)
{
    return MeasureCodedText(pack, text, DefaultCodeRules());
}

StripSize MeasureCodedText(GlyphPack& pack, std::string_view text, const CodeRules& rules)
{
    GlyphPack::Impl& impl = *pack.impl_;
    // Width and height of each byte's glyph once known, so that a long text costs a
    // table lookup per byte; entries that several names lead to are read once.
    std::array<std::optional<std::pair<int, int>>, 256> byByte;
    std::map<EntryIdentity, std::pair<int, int>> ownSides;
    std::map<EntryIdentity, std::pair<int, int>>& byEntry = impl.keeps ? impl.sides : ownSides;
    std::string buffer;
    StripSize size;
    bool measurable = true;
    const auto measureGlyph = [&](unsigned char character, TColourTriple) {
        if (!measurable) {
            return;
        }
        std::optional<std::pair<int, int>>& sides = byByte[character];
        if (!sides) {
            const std::string entryName = FullGlyphEntryName(character);
            if (entryName.empty()) {
                sides = std::pair{0, -1}; // drawn by nothing: no width, height unchanged
            } else {
                const std::optional<EntryIdentity> identity = impl.archive.FindEntryIdentity(entryName);
                auto found = identity ? byEntry.find(*identity) : byEntry.end();
                if (found == byEntry.end()) {
                    std::pair<int, int> read;
                    try {
                        const RequestsHeld held(impl.requestsHeld);
                        // A missing entry raises here, as the render will.
                        impl.archive.ExtractEntryBytesUpTo(entryName, buffer, kMaxGlyphEntryBytes);
                        TJPEGImage glyph;
                        glyph.LoadJPEG(std::string_view(buffer));
                        read = {glyph.Width(), glyph.Height()};
                    } catch (const std::bad_alloc&) {
                        throw;
                    } catch (const std::exception&) {
                        measurable = false;
                        size.stoppedBy = std::current_exception();
                        return;
                    }
                    // No bytes: the password is not known yet.
                    if (buffer.empty() || !identity) {
                        measurable = false;
                        return;
                    }
                    RequireGlyphWithin(entryName, read.first, read.second);
                    found = byEntry.emplace(*identity, read).first;
                }
                sides = found->second;
            }
        }
        if (sides->second < 0) {
            return;
        }
        size.width += sides->first;
        size.height = sides->second;
        size.tallest = std::max<std::int64_t>(size.tallest, sides->second);
        size.peakPixels = size.width * size.tallest;
    };
    ScanCodedText(text, measureGlyph, rules);
    return size;
}

void AppendGlyph(GlyphPack& pack, TPicture& target, std::string& extractionBuffer, unsigned char character,
                 TColourTriple colour)
{
    GlyphCache cache(0);
    std::int64_t tallest = target.AsBitmap().Height();
    pack.impl_->AppendCachedGlyph(target, extractionBuffer, cache, character, colour, {}, tallest);
}

void RenderCodedText(GlyphPack& pack, std::string_view text, TPicture& target)
{
    RenderCodedText(pack, text, target, PictureStyle{});
}

void RenderCodedText(GlyphPack& pack, std::string_view text, TPicture& target, const PictureStyle& style)
{
    RenderCodedText(pack, text, target, style, DefaultCodeRules());
}

void RenderCodedText(GlyphPack& pack, std::string_view text, TPicture& target, const PictureStyle& style,
                     const CodeRules& rules)
{
    target.AsBitmap().ResizeWidth(0);
    target.AsBitmap().ResizeHeight(0);
    const StripSize size = MeasureCodedText(pack, text, rules);
    RequireStripWithin(size);
    RenderMeasuredText(pack, text, target, style, size, rules);
}

void RenderMeasuredText(GlyphPack& pack, std::string_view text, TPicture& target, const PictureStyle& style,
                        const StripSize& size)
{
    RenderMeasuredText(pack, text, target, style, size, DefaultCodeRules());
}

void RenderMeasuredText(GlyphPack& pack, std::string_view text, TPicture& target, const PictureStyle& style,
                        const StripSize& size, const CodeRules& rules)
{
    GlyphPack::Impl& impl = *pack.impl_;
    TBitmap& strip = target.AsBitmap();
    strip.ResizeWidth(0);
    strip.ResizeHeight(0);
    // The strip grows a glyph at a time to the size measured: room for all of it at once
    // spares the copies of growing, and the half again that growing keeps spare.
    struct Expectation {
        TBitmap& strip;
        ~Expectation() { strip.ExpectSize(0, 0); }
    };
    const Expectation expected{strip};
    strip.ExpectSize(static_cast<int>(size.width), static_cast<int>(size.tallest));
    std::string extractionBuffer;
    GlyphCache ownCache(kGlyphBytesPerRender);
    GlyphCache& cache = impl.keeps ? impl.decoded : ownCache;
    std::int64_t tallest = 0;
    TintBackground background;
    if (style.background == StripBackground::Colour) {
        background = {TintBackground::Kind::Colour, style.backgroundColour};
    } else if (style.background == StripBackground::Transparent) {
        background.kind = TintBackground::Kind::Transparent;
    }
    // A text changes colour far less often than it draws a glyph: the legible colour of
    // the last tint is kept.
    TColourTriple lastTint{-1, -1, -1};
    TColourTriple lastStyled;
    const auto drawGlyph = [&](unsigned char character, TColourTriple colour) {
        if (colour != lastTint) {
            lastTint = colour;
            lastStyled = StyledTint(colour, style);
        }
        impl.AppendCachedGlyph(target, extractionBuffer, cache, character, lastStyled, background, tallest);
    };
    ScanCodedText(text, drawGlyph, rules);
}

} // namespace glyphtint::render
