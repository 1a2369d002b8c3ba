// RenderCodedText from small glyph packs built by the test.
#include "render/GlyphPack.h"

#include "archive/ZipException.h"
#include "raster/JPEGImage.h"
#include "render/GameProfiles.h"
#include "render/GlyphLimits.h"
#include "render/GlyphNames.h"
#include "tests/support/TestArchives.h"
#include "tests/support/TintOracle.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>

using glyphtint::test::MakeGlyphJpeg;
using glyphtint::test::OracleTint;
using glyphtint::test::ScratchFolder;
using glyphtint::test::WriteZip;

using glyphtint::render::FullGlyphEntryName;
using glyphtint::render::GlyphPack;
using glyphtint::render::TColourTriple;

namespace {

constexpr TColourTriple kWhite{255, 255, 255};

class GlyphStrip : public ::testing::Test {
protected:
    // Glyph entries of the test archive by character; each is a distinct picture.
    void MakeArchive(const std::vector<std::pair<char, std::string>>& glyphs)
    {
        std::vector<std::pair<std::string, std::string>> entries;
        for (const auto& [character, bytes] : glyphs) {
            entries.emplace_back(FullGlyphEntryName(static_cast<unsigned char>(character)), bytes);
            glyphBytes_[character] = bytes;
        }
        WriteZip(folder_ / "glyphs.gfx", entries);
        archive_.Open((folder_ / "glyphs.gfx").string());
    }

    // The strip one would expect: each glyph decoded on its own, placed and tinted.
    void ExpectGlyphAt(const TBitmap& strip, char character, int left, TColourTriple colour)
    {
        TJPEGImage glyph;
        glyph.LoadJPEG(std::string_view(glyphBytes_.at(character)));
        TBitmap expected;
        expected.ResizeWidth(glyph.Width());
        expected.ResizeHeight(glyph.Height());
        expected.Canvas().DrawGraphic(0, 0, &glyph);
        OracleTint(expected, 0, 0, glyph.Width(), glyph.Height(), colour);
        for (int y = 0; y < std::min(strip.Height(), expected.Height()); ++y) {
            for (int x = 0; x < expected.Width(); ++x) {
                ASSERT_EQ(strip.PixelAt(left + x, y), expected.PixelAt(x, y))
                    << "glyph '" << character << "' column " << x << ", row " << y;
            }
        }
    }

    ScratchFolder folder_;
    GlyphPack archive_;
    TPicture picture_;
    std::map<char, std::string> glyphBytes_;
};

} // namespace

TEST_F(GlyphStrip, TextsThatDrawNothingLeaveAnEmptyStrip)
{
    MakeArchive({{'a', MakeGlyphJpeg(10, 16)}});
    for (const char* text : {"", "^1^2", "\"%;\\`~\t\x80\xFF", "^"}) {
        RenderCodedText(archive_, "a", picture_);
        RenderCodedText(archive_, text, picture_);
        EXPECT_EQ(picture_.Width(), 0) << text;
        EXPECT_EQ(picture_.Height(), 0) << text;
    }
}

TEST_F(GlyphStrip, GlyphsStandSideBySideInTheirColours)
{
    MakeArchive({{'a', MakeGlyphJpeg(10, 16, 1)}, {'b', MakeGlyphJpeg(12, 16, 2)}});
    RenderCodedText(archive_, "a^1b", picture_);
    const TBitmap& strip = picture_.AsBitmap();
    ASSERT_EQ(strip.Width(), 22);
    ASSERT_EQ(strip.Height(), 16);
    ExpectGlyphAt(strip, 'a', 0, kWhite);
    ExpectGlyphAt(strip, 'b', 10, {255, 4, 8});
}

// A game's rules decide which bytes draw and in what colour: under Xonotic's "^xF80" is
// one orange code and "^a" draws its caret; under glyphtint's "^a" is a code.
TEST_F(GlyphStrip, OtherCodeRulesDrawTheGlyphsTheyRead)
{
    MakeArchive({{'a', MakeGlyphJpeg(10, 16, 1)}, {'^', MakeGlyphJpeg(8, 16, 2)}, {'F', MakeGlyphJpeg(6, 16, 3)}});
    const glyphtint::render::CodeRules& xonotic = glyphtint::render::FindGameProfile("xonotic")->rules;
    RenderCodedText(archive_, "^xF80a^a", picture_, {}, xonotic);
    const TBitmap& strip = picture_.AsBitmap();
    ASSERT_EQ(strip.Width(), 28);
    EXPECT_EQ(glyphtint::render::MeasureCodedText(archive_, "^xF80a^a", xonotic).width, 28);
    ExpectGlyphAt(strip, 'a', 0, {255, 136, 0});
    ExpectGlyphAt(strip, '^', 10, {255, 136, 0});
    ExpectGlyphAt(strip, 'a', 18, {255, 136, 0});
    EXPECT_EQ(glyphtint::render::MeasureCodedText(archive_, "a^a").width, 10);
}

TEST_F(GlyphStrip, StripTakesTheHeightOfTheLastGlyph)
{
    MakeArchive({{'a', MakeGlyphJpeg(10, 16, 1)}, {'b', MakeGlyphJpeg(8, 20, 2)}, {'c', MakeGlyphJpeg(6, 12, 3)}});
    RenderCodedText(archive_, "ab", picture_);
    const TBitmap& strip = picture_.AsBitmap();
    ASSERT_EQ(strip.Height(), 20);
    ExpectGlyphAt(strip, 'a', 0, kWhite);
    ExpectGlyphAt(strip, 'b', 10, kWhite);
    for (int y = 16; y < 20; ++y) {
        for (int x = 0; x < 10; ++x) {
            ASSERT_EQ(strip.PixelAt(x, y), clWhite) << "rows grown under earlier glyphs stay white";
        }
    }

    RenderCodedText(archive_, "abc", picture_);
    EXPECT_EQ(picture_.AsBitmap().Width(), 24);
    EXPECT_EQ(picture_.AsBitmap().Height(), 12);
    // Cut rows do not come back: a taller glyph after the cut brings white rows.
    RenderCodedText(archive_, "acb", picture_);
    for (int y = 12; y < 20; ++y) {
        ASSERT_EQ(picture_.AsBitmap().PixelAt(3, y), clWhite);
    }
}

TEST_F(GlyphStrip, MissingEntryEndsTheRenderAfterTheGlyphsBefore)
{
    MakeArchive({{'a', MakeGlyphJpeg(10, 16, 1)}, {'b', MakeGlyphJpeg(12, 16, 2)}});
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            RenderCodedText(archive_, "^2abcab", picture_);
            FAIL() << "a missing glyph must raise";
        } catch (const EZipException& error) {
            EXPECT_NE(std::string(error.what()).find("File \"c.jpg\" not found"), std::string::npos) << error.what();
        }
        const TBitmap& strip = picture_.AsBitmap();
        ASSERT_EQ(strip.Width(), 22);
        ExpectGlyphAt(strip, 'a', 0, {8, 255, 8});
        ExpectGlyphAt(strip, 'b', 10, {8, 255, 8});
    }
}

namespace {

// The glyph with its baseline frame header declaring width x height.
std::string DeclaringSize(std::string jpeg, int width, int height)
{
    const std::size_t frame = jpeg.find("\xFF\xC0");
    jpeg[frame + 5] = static_cast<char>(height >> 8);
    jpeg[frame + 6] = static_cast<char>(height & 255);
    jpeg[frame + 7] = static_cast<char>(width >> 8);
    jpeg[frame + 8] = static_cast<char>(width & 255);
    return jpeg;
}

} // namespace

TEST_F(GlyphStrip, DamagedEntries)
{
    MakeArchive({{'a', MakeGlyphJpeg(10, 16)},
                 {'e', ""},
                 {'h', DeclaringSize(MakeGlyphJpeg(10, 16), 23000, 23000)},
                 {'n', "not a jpeg at all"},
                 {'o', std::string(glyphtint::render::kMaxGlyphEntryBytes + 1, '\0')}});

    // An entry larger than any glyph is refused before it is read.
    EXPECT_THROW(RenderCodedText(archive_, "ao", picture_), EZipEntryTooLarge);
    EXPECT_EQ(picture_.AsBitmap().Width(), 10);

    // A picture far larger than any glyph is refused at loading, before the strip grows.
    EXPECT_THROW(RenderCodedText(archive_, "ah", picture_), EOutOfResources);
    EXPECT_EQ(picture_.AsBitmap().Width(), 10);
    EXPECT_EQ(picture_.AsBitmap().Height(), 16);

    // Bytes that are no JPEG fail at loading: the strip is left as it was.
    EXPECT_THROW(RenderCodedText(archive_, "an", picture_), EJPEG);
    EXPECT_EQ(picture_.AsBitmap().Width(), 10);
    EXPECT_EQ(picture_.AsBitmap().Height(), 16);

    // An empty entry loads as 0 x 0, cuts the strip to height 0 and fails to draw.
    EXPECT_THROW(RenderCodedText(archive_, "ae", picture_), EJPEG);
    EXPECT_EQ(picture_.AsBitmap().Width(), 10);
    EXPECT_EQ(picture_.AsBitmap().Height(), 0);
}

// A glyph far larger than any font needs is refused from its header, naming the glyph
// and the limit, before the strip grows; one at the limit is drawn.
TEST_F(GlyphStrip, GlyphsPastTheSizeLimitAreRefusedNamingGlyphAndLimit)
{
    using glyphtint::render::kMaxGlyphHeight;
    using glyphtint::render::kMaxGlyphWidth;
    MakeArchive({{'a', MakeGlyphJpeg(10, 16)},
                 {'w', MakeGlyphJpeg(kMaxGlyphWidth + 1, 16)},
                 {'t', MakeGlyphJpeg(16, kMaxGlyphHeight + 1)},
                 {'m', MakeGlyphJpeg(kMaxGlyphWidth, kMaxGlyphHeight)}});
    const std::pair<const char*, const char*> refused[] = {
        {"aw", "The glyph \"w.jpg\" is 1025 x 16 pixels; a glyph may be at most 1024 pixels wide and 512 high"},
        {"^1at", "The glyph \"t.jpg\" is 16 x 513 pixels; a glyph may be at most 1024 pixels wide and 512 high"},
    };
    for (const auto& [text, message] : refused) {
        RenderCodedText(archive_, "a", picture_);
        try {
            RenderCodedText(archive_, text, picture_);
            FAIL() << text << " was drawn";
        } catch (const glyphtint::render::EGlyphTooLarge& e) {
            EXPECT_STREQ(e.what(), message);
        }
        EXPECT_EQ(picture_.Width(), 0) << text;
        EXPECT_THROW(glyphtint::render::MeasureCodedText(archive_, text), glyphtint::render::EGlyphTooLarge) << text;
    }
    RenderCodedText(archive_, "^2am", picture_);
    EXPECT_EQ(picture_.Width(), 10 + kMaxGlyphWidth);
    EXPECT_EQ(picture_.Height(), kMaxGlyphHeight);
    ExpectGlyphAt(picture_.AsBitmap(), 'm', 10, {8, 255, 8});
}

TEST_F(GlyphStrip, RendersRepeatAndTargetsStayApart)
{
    MakeArchive({{'a', MakeGlyphJpeg(10, 16, 1)}, {'b', MakeGlyphJpeg(12, 16, 2)}});
    TPicture other;
    RenderCodedText(archive_, "^4b", other);
    const auto otherBefore = other.AsBitmap().Clone();

    RenderCodedText(archive_, "a^3ba", picture_);
    const auto first = picture_.AsBitmap().Clone();
    RenderCodedText(archive_, "a^3ba", picture_);
    const TBitmap& second = picture_.AsBitmap();
    ASSERT_EQ(second.Width(), first->Width());
    for (int y = 0; y < second.Height(); ++y) {
        for (int x = 0; x < second.Width(); ++x) {
            ASSERT_EQ(second.PixelAt(x, y), first->PixelAt(x, y));
        }
    }
    for (int x = 0; x < 12; ++x) {
        ASSERT_EQ(other.AsBitmap().PixelAt(x, 5), otherBefore->PixelAt(x, 5));
    }
}

// Glyphs kept between renders (a batch) are drawn in each text's own colours: what is
// kept is the glyph as decoded, never a tinted copy.
TEST_F(GlyphStrip, GlyphsKeptBetweenRendersTakeEachTextsColours)
{
    MakeArchive({{'a', MakeGlyphJpeg(10, 16, 1)}, {'b', MakeGlyphJpeg(12, 16, 2)}});
    GlyphPack keeping(glyphtint::render::kGlyphBytesPerRender);
    keeping.Open((folder_ / "glyphs.gfx").string());
    RenderCodedText(keeping, "^1ab", picture_);
    EXPECT_EQ(glyphtint::render::MeasureCodedText(keeping, "^2ba").width, 22);
    RenderCodedText(keeping, "^2ba", picture_);
    const TBitmap& strip = picture_.AsBitmap();
    ASSERT_EQ(strip.Width(), 22);
    ExpectGlyphAt(strip, 'b', 0, {8, 255, 8});
    ExpectGlyphAt(strip, 'a', 12, {8, 255, 8});
}

// The strip's size is known from the glyph headers before anything is drawn: it counts
// the glyphs up to the first one that cannot be read, as the render draws them.
TEST_F(GlyphStrip, MeasuringGivesTheSizeTheRenderDraws)
{
    MakeArchive({{'a', MakeGlyphJpeg(10, 16)}, {'b', MakeGlyphJpeg(12, 20)}});
    struct Case {
        const char* text;
        std::int64_t width;
        std::int64_t height;
        std::int64_t peakPixels;
    };
    // The strip's storage keeps the rows of its tallest glyph, whatever follows.
    for (const Case& c : {Case{"", 0, 0, 0}, Case{"^1ab", 22, 20, 440}, Case{"bab", 34, 20, 680},
                          Case{"ba", 22, 16, 440}, Case{"abca", 22, 20, 440}}) {
        const glyphtint::render::StripSize size = glyphtint::render::MeasureCodedText(archive_, c.text);
        EXPECT_EQ(size.width, c.width) << c.text;
        EXPECT_EQ(size.height, c.height) << c.text;
        EXPECT_EQ(size.peakPixels, c.peakPixels) << c.text;
    }
}

// A text whose strip would pass the widest picture a file can hold is refused before a
// pixel is drawn, with a message that says so.
TEST_F(GlyphStrip, TextsTooWideForAnyPictureAreRefusedBeforeDrawing)
{
    MakeArchive({{'a', MakeGlyphJpeg(1000, 8)}});
    RenderCodedText(archive_, std::string(2000, 'a'), picture_);
    EXPECT_EQ(picture_.Width(), 2000000);

    try {
        RenderCodedText(archive_, std::string(2001, 'a'), picture_);
        FAIL() << "a strip of 2 001 000 pixels was drawn";
    } catch (const glyphtint::render::ETextTooLong& e) {
        EXPECT_STREQ(e.what(), "The text is too long: its picture would be 2001000 pixels wide, and at most 2000000 "
                               "are drawn");
    }
    EXPECT_EQ(picture_.Width(), 0);
    EXPECT_EQ(picture_.Height(), 0);
}

// Measuring stops at the first glyph it cannot read and keeps that glyph's error, with
// its type, for the caller: the size counts the glyphs before it.
TEST_F(GlyphStrip, MeasuringKeepsTheErrorItStoppedAt)
{
    MakeArchive({{'a', MakeGlyphJpeg(10, 16)}, {'b', MakeGlyphJpeg(12, 20)}, {'n', "not a jpeg at all"}});
    glyphtint::render::StripSize size = glyphtint::render::MeasureCodedText(archive_, "abcab");
    EXPECT_EQ(size.width, 22);
    ASSERT_TRUE(size.stoppedBy);
    try {
        std::rethrow_exception(size.stoppedBy);
    } catch (const EZipException& error) {
        EXPECT_NE(std::string(error.what()).find("File \"c.jpg\" not found"), std::string::npos) << error.what();
    }
    size = glyphtint::render::MeasureCodedText(archive_, "ana");
    EXPECT_EQ(size.width, 10);
    EXPECT_THROW(std::rethrow_exception(size.stoppedBy), EJPEG);
    EXPECT_FALSE(glyphtint::render::MeasureCodedText(archive_, "ab").stoppedBy);
}

// A pack that keeps glyphs draws a glyph it has kept without reading the pack again, up to
// its bound in bytes, and forgets them when it opens a pack anew. Seen from outside: the
// glyph's data are damaged on disk after the first render.
// A pack keeps each glyph as tinted: drawing from what it kept gives the bytes a fresh
// tint gives, alpha included, and a tint kept for one colour or background serves no
// other.
TEST_F(GlyphStrip, KeptTintsDrawWhatAFreshTintDraws)
{
    MakeArchive({{'a', MakeGlyphJpeg(10, 16, 1)}, {'b', MakeGlyphJpeg(12, 16, 2)}});
    const std::string path = (folder_ / "glyphs.gfx").string();
    GlyphPack keeping(glyphtint::render::kGlyphBytesPerRender);
    keeping.Open(path);
    glyphtint::render::PictureStyle plain;
    glyphtint::render::PictureStyle onColour;
    onColour.background = glyphtint::render::StripBackground::Colour;
    onColour.backgroundColour = {32, 48, 64};
    glyphtint::render::PictureStyle transparent;
    transparent.background = glyphtint::render::StripBackground::Transparent;
    for (const auto* style : {&plain, &onColour, &transparent, &plain}) {
        for (const char* text : {"^1ab^2a", "^2ab^1ab"}) {
            GlyphPack fresh; // keeps nothing
            fresh.Open(path);
            TPicture expected;
            RenderCodedText(fresh, text, expected, *style);
            RenderCodedText(keeping, text, picture_, *style);
            const TBitmap& want = expected.AsBitmap();
            const TBitmap& got = picture_.AsBitmap();
            ASSERT_EQ(got.Width(), want.Width()) << text;
            ASSERT_EQ(got.Height(), want.Height()) << text;
            for (int y = 0; y < want.Height(); ++y) {
                ASSERT_EQ(std::memcmp(got.ScanLine(y), want.ScanLine(y), std::size_t{4} * want.Width()), 0)
                    << text << ", row " << y;
            }
        }
    }
}

TEST_F(GlyphStrip, KeptGlyphsAreBoundedInBytesAndForgottenOnOpen)
{
    MakeArchive({{'a', MakeGlyphJpeg(10, 16, 1)}});
    const std::string path = (folder_ / "glyphs.gfx").string();
    GlyphPack keeping(glyphtint::render::kGlyphBytesPerRender);
    GlyphPack tooSmall(10 * 16 * 4); // the decoded pixels fit, with the entry's bytes they do not
    for (GlyphPack* pack : {&keeping, &tooSmall}) {
        pack->Open(path);
        RenderCodedText(*pack, "a", picture_);
    }
    {
        // The first entry's data start after its 30-byte local header and its name.
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(30 + 5 + 20);
        file.put('\xA5');
        file.seekp(30 + 5 + 21);
        file.put('\x5A');
    }
    EXPECT_THROW(RenderCodedText(archive_, "a", picture_), std::exception) << "the damage is seen by a fresh read";
    EXPECT_THROW(RenderCodedText(tooSmall, "a", picture_), std::exception);
    RenderCodedText(keeping, "^2a", picture_);
    ExpectGlyphAt(picture_.AsBitmap(), 'a', 0, {8, 255, 8});
    keeping.Open(path);
    EXPECT_THROW(RenderCodedText(keeping, "a", picture_), std::exception);
}
