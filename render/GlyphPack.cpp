// RenderCodedText and AppendGlyph: archive entry -> JPEG glyph -> strip -> tint.
#include "render/GlyphStrip.h"

#include "archive/ZipArchive.h"
#include "raster/JPEGImage.h"
#include "render/GlyphLimits.h"
#include "render/GlyphNames.h"
#include "render/Tint.h"

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <tuple>

namespace {

// The data a directory record leads to: records equal in all of these give the same
// bytes, however many names point at them.
using EntryData = std::tuple<std::uint64_t, std::uint64_t, std::uint64_t, std::uint32_t, std::uint16_t, bool>;

// The entry data of the glyph entry, or nothing when there is no such entry.
std::optional<EntryData> FindEntryData(const TZipArchive& archive, const std::string& entryName)
{
    const std::int32_t index = archive.FindEntry(entryName);
    if (index < 0) {
        return std::nullopt;
    }
    const TDirItem& item = archive.Directory().Items().At(index);
    return EntryData{
        item.LocalHeaderOffset(), item.CompressedSize(), item.UncompressedSize(), item.Crc32(), item.Method(),
        item.Encrypted()};
}

// Keeps the archive from asking for a password while it lives: an encrypted entry then
// gives its bytes only with the password already given, and none otherwise.
class PasswordRequestsHeld {
public:
    explicit PasswordRequestsHeld(TZipArchive& archive) : archive_(archive), handler_(std::move(archive.OnPassword))
    {
        archive_.OnPassword = nullptr;
    }
    PasswordRequestsHeld(const PasswordRequestsHeld&) = delete;
    PasswordRequestsHeld& operator=(const PasswordRequestsHeld&) = delete;
    ~PasswordRequestsHeld() { archive_.OnPassword = std::move(handler_); }

private:
    TZipArchive& archive_;
    TZipBaseArchiver::TPasswordEvent handler_;
};

// Glyphs decoded earlier in one render (or, through a GlyphMemory, in earlier renders
// over the same open archive), so that each entry is read and decoded once. Kept up to
// a total of pixels that bounds the memory; past it glyphs are decoded every time.
class GlyphCache {
public:
    std::shared_ptr<TJPEGImage> Find(const std::optional<EntryData>& data) const
    {
        if (!data) {
            return nullptr;
        }
        const auto found = glyphs_.find(*data);
        return found == glyphs_.end() ? nullptr : found->second;
    }
    void Keep(const std::optional<EntryData>& data, std::shared_ptr<TJPEGImage> glyph)
    {
        const std::int64_t pixels = std::int64_t{glyph->Width()} * glyph->Height();
        if (data && pixels_ + pixels <= kMaxCachedPixels) {
            pixels_ += pixels;
            glyphs_.emplace(*data, std::move(glyph));
        }
    }

private:
    static constexpr std::int64_t kMaxCachedPixels = std::int64_t{1} << 22;
    std::map<EntryData, std::shared_ptr<TJPEGImage>> glyphs_;
    std::int64_t pixels_ = 0;
};

// Widens the strip by the glyph, takes its height, draws and tints it at the old
// right edge. tallest is the tallest glyph placed so far, whose rows the strip's storage
// keeps: the strip's limits are held here too, for glyphs no measurement saw beforehand.
void PlaceGlyph(TPicture& target, TJPEGImage& glyph, TColourTriple colour, std::int64_t& tallest)
{
    TBitmap& strip = target.AsBitmap();
    const int left = strip.Width();
    glyphtint::render::StripSize grown;
    grown.width = std::int64_t{left} + glyph.Width();
    grown.height = glyph.Height();
    grown.tallest = std::max<std::int64_t>(tallest, glyph.Height());
    grown.peakPixels = grown.width * grown.tallest;
    glyphtint::render::RequireStripWithin(grown, glyphtint::render::kMaxStripWidth);
    tallest = grown.tallest;
    strip.ResizeWidth(left + glyph.Width());
    // The strip takes each glyph's height in turn: a taller glyph grows it with white
    // rows, a shorter one cuts the glyphs before it.
    strip.ResizeHeight(glyph.Height());
    strip.Canvas().DrawGraphic(left, 0, &glyph);
    TintGlyphArea(target, left, 0, glyph.Width(), glyph.Height(), colour);
}

void AppendCachedGlyph(TZipArchive& archive, TPicture& target, std::string& extractionBuffer, GlyphCache& cache,
                       unsigned char character, TColourTriple colour, std::int64_t& tallest)
{
    const std::string entryName = glyphtint::render::FullGlyphEntryName(character);
    if (entryName.empty()) {
        return;
    }
    const std::optional<EntryData> data = FindEntryData(archive, entryName);
    if (const std::shared_ptr<TJPEGImage> known = cache.Find(data)) {
        PlaceGlyph(target, *known, colour, tallest);
        return;
    }
    auto glyph = std::make_shared<TJPEGImage>();
    archive.ExtractEntryBytesUpTo(entryName, extractionBuffer, glyphtint::render::kMaxGlyphEntryBytes);
    glyph->LoadJPEG(std::string_view(extractionBuffer));
    // The header's size, before the glyph is decoded.
    glyphtint::render::RequireGlyphWithin(entryName, glyph->Width(), glyph->Height());
    PlaceGlyph(target, *glyph, colour, tallest);
    cache.Keep(data, std::move(glyph));
}

} // namespace

namespace glyphtint::render {

struct GlyphMemory::Kept {
    GlyphCache decoded;
    std::map<EntryData, std::pair<int, int>> sides;
};

GlyphMemory::GlyphMemory() : kept_(std::make_unique<Kept>())
{
}
GlyphMemory::~GlyphMemory() = default;

StripSize MeasureCodedText(TZipArchive& archive, std::string_view text)
{
    GlyphMemory memory;
    return MeasureCodedText(archive, text, memory);
}

StripSize MeasureCodedText(TZipArchive& archive, std::string_view text, GlyphMemory& memory)
{
    // Width and height of each byte's glyph once known, so that a long text costs a
    // table lookup per byte; entries that several names lead to are read once.
    std::array<std::optional<std::pair<int, int>>, 256> byByte;
    std::map<EntryData, std::pair<int, int>>& byEntry = memory.Glyphs().sides;
    std::string buffer;
    StripSize size;
    bool measurable = true;
    ScanCodedText(text, [&](unsigned char character, TColourTriple) {
        if (!measurable) {
            return;
        }
        std::optional<std::pair<int, int>>& sides = byByte[character];
        if (!sides) {
            const std::string entryName = FullGlyphEntryName(character);
            if (entryName.empty()) {
                sides = std::pair{0, -1}; // drawn by nothing: no width, height unchanged
            } else {
                const std::optional<EntryData> data = FindEntryData(archive, entryName);
                if (!data) {
                    measurable = false;
                    return;
                }
                auto found = byEntry.find(*data);
                if (found == byEntry.end()) {
                    std::pair<int, int> read;
                    try {
                        // The render asks for a password, once; measuring reads an
                        // encrypted entry only with one already given.
                        const PasswordRequestsHeld held(archive);
                        archive.ExtractEntryBytesUpTo(entryName, buffer, kMaxGlyphEntryBytes);
                        TJPEGImage glyph;
                        glyph.LoadJPEG(std::string_view(buffer));
                        read = {glyph.Width(), glyph.Height()};
                    } catch (const std::exception&) {
                        measurable = false;
                        return;
                    }
                    // No bytes: the password is not known yet.
                    if (buffer.empty()) {
                        measurable = false;
                        return;
                    }
                    RequireGlyphWithin(entryName, read.first, read.second);
                    found = byEntry.emplace(*data, read).first;
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
    });
    return size;
}

void RequireStripWithin(const StripSize& size, std::int64_t maxWidth)
{
    if (size.width > maxWidth) {
        throw ETextTooLong("The text is too long: its picture would be " + std::to_string(size.width) +
                           " pixels wide, and at most " + std::to_string(maxWidth) + " are drawn");
    }
    if (size.peakPixels > kMaxStripPixels) {
        throw ETextTooLong("The text is too long: its picture would need " + std::to_string(size.peakPixels) +
                           " pixels, and at most " + std::to_string(kMaxStripPixels) + " are drawn");
    }
}

} // namespace glyphtint::render

void AppendGlyph(TZipArchive& archive, TPicture& target, std::string& extractionBuffer, unsigned char character,
                 TColourTriple colour)
{
    GlyphCache cache;
    std::int64_t tallest = target.AsBitmap().Height();
    AppendCachedGlyph(archive, target, extractionBuffer, cache, character, colour, tallest);
}

void RenderCodedText(TZipArchive& archive, std::string_view text, TPicture& target)
{
    glyphtint::render::GlyphMemory memory;
    RenderCodedText(archive, text, target, memory);
}

void RenderCodedText(TZipArchive& archive, std::string_view text, TPicture& target,
                     glyphtint::render::GlyphMemory& memory)
{
    TBitmap& strip = target.AsBitmap();
    strip.ResizeWidth(0);
    strip.ResizeHeight(0);
    const glyphtint::render::StripSize size = glyphtint::render::MeasureCodedText(archive, text, memory);
    glyphtint::render::RequireStripWithin(size, glyphtint::render::kMaxStripWidth);
    // The strip grows a glyph at a time to the size measured: room for all of it at once
    // spares the copies of growing, and the half again that growing keeps spare.
    struct Expectation {
        TBitmap& strip;
        ~Expectation() { strip.ExpectSize(0, 0); }
    };
    const Expectation expected{strip};
    strip.ExpectSize(static_cast<int>(size.width), static_cast<int>(size.tallest));
    std::string extractionBuffer;
    GlyphCache& cache = memory.Glyphs().decoded;
    std::int64_t tallest = 0;
    glyphtint::render::ScanCodedText(text, [&](unsigned char character, TColourTriple colour) {
        AppendCachedGlyph(archive, target, extractionBuffer, cache, character, colour, tallest);
    });
}
