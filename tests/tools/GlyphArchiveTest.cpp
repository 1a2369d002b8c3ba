// The glyph archive the build ships, and `glyphtint-gfx check` on it and on damaged copies.
// Whatever opens the archive the way the program does works on a private copy: the
// program's open takes an exclusive lock.
#include "archive/ZipArchive.h"
#include "render/GlyphLimits.h"
#include "render/GlyphPack.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TestArchives.h"
#include "render/GfxCheck.h"

#include <gtest/gtest.h>

#include <jerror.h>
#include <zip.h>

#include <algorithm>
#include <fstream>
#include <functional>

using glyphtint::test::CopyOfShippedArchive;
using glyphtint::test::MakeGlyphJpeg;
using glyphtint::test::ProgramRun;
using glyphtint::test::RunProgram;
using glyphtint::test::ScratchFolder;
using glyphtint::test::WriteZip;

using glyphtint::render::CheckGlyphArchive;

using glyphtint::raster::BlueOf;
using glyphtint::raster::GreenOf;
using glyphtint::raster::RedOf;

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

const std::string kShipped = std::string(GLYPHTINT_BIN_DIR) + "/glyphtint.gfx";

Entries ReadEntries(const std::string& path)
{
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (archive == nullptr) {
        throw std::runtime_error("cannot open " + path);
    }
    Entries entries;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat);
        std::string bytes(stat.size, '\0');
        zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        const zip_int64_t read = zip_fread(file, bytes.data(), bytes.size());
        zip_fclose(file);
        if (read != static_cast<zip_int64_t>(bytes.size())) {
            throw std::runtime_error("cannot read " + std::string(stat.name));
        }
        entries.emplace_back(stat.name, std::move(bytes));
    }
    zip_discard(archive);
    return entries;
}

std::string& EntryBytes(Entries& entries, const std::string& name)
{
    auto it = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.first == name; });
    if (it == entries.end()) {
        throw std::runtime_error("no entry " + name);
    }
    return it->second;
}

ProgramRun RunCheckCommand(const std::string& archive)
{
    ProgramRun run = RunProgram("glyphtint-gfx", {"check", archive});
    run.out += run.err;
    return run;
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string all;
    for (const std::string& line : lines) {
        all += line + "\n";
    }
    return all;
}

int Mean(TColor c)
{
    return (RedOf(c) + GreenOf(c) + BlueOf(c)) / 3;
}

} // namespace

TEST(ShippedGlyphArchive, PassesTheCheck)
{
    ScratchFolder folder;
    const std::string shipped = CopyOfShippedArchive(folder);
    EXPECT_EQ(Joined(CheckGlyphArchive(shipped)), "");
    const ProgramRun run = RunCheckCommand(shipped);
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("89 glyphs"), std::string::npos) << run.out;
}

TEST(ShippedGlyphArchive, PaletteStringsFitTheirImages)
{
    struct Palette {
        const char* text;
        int samples;
        int maxHeight;
    };
    const Palette palettes[] = {
        {"^11^22^33^44^55^66^77^88^99^00^aa^bb^cc^dd^ee^ff^gg^hh^ii^jj^kk^ll^mm^nn", 24, 34},
        {"^oo^pp^qq^rr^ss^tt^uu^vv^ww^xx^yy^zz^//^**^--^++^??^@@^__^[[^]]^==^||^'^<<^>>^,,^..", 27, 32},
    };
    ScratchFolder folder;
    glyphtint::render::GlyphPack pack;
    pack.Open(CopyOfShippedArchive(folder));
    for (const Palette& palette : palettes) {
        TPicture picture;
        RenderCodedText(pack, palette.text, picture);
        const TBitmap& strip = picture.AsBitmap();
        EXPECT_LE(strip.Width(), 338) << palette.text;
        EXPECT_GE(strip.Width(), palette.samples * 4) << palette.text;
        EXPECT_LE(strip.Height(), palette.maxHeight) << palette.text;
    }
}

TEST(ShippedGlyphArchive, GlyphInkIsShadedFromTopToBottom)
{
    ScratchFolder folder;
    TZipArchive archive;
    archive.FileName = CopyOfShippedArchive(folder);
    archive.Open(0);
    std::string bytes;
    archive.ExtractEntryBytes("l.jpg", bytes);
    TJPEGImage jpeg;
    jpeg.LoadJPEG(bytes);
    const TBitmap& glyph = jpeg.Bitmap();

    // The brightest pixel of each row that carries ink; the first and last such rows are
    // only partly covered, so the top and bottom are judged by three rows each.
    std::vector<int> rowPeaks;
    for (int y = 0; y < glyph.Height(); ++y) {
        int peak = 0;
        for (int x = 0; x < glyph.Width(); ++x) {
            peak = std::max(peak, Mean(glyph.PixelAt(x, y)));
        }
        if (peak > 180) {
            rowPeaks.push_back(peak);
        }
    }
    ASSERT_GE(rowPeaks.size(), 8u);
    const int top = *std::max_element(rowPeaks.begin(), rowPeaks.begin() + 3);
    const int bottom = *std::max_element(rowPeaks.end() - 3, rowPeaks.end());
    EXPECT_GE(top, 240);
    EXPECT_GE(top - bottom, 20);
}

// Renders read every glyph afresh, so the shipped glyphs are stored: nothing to
// inflate. Packs that people make are often deflated; the damaged packs below are.
TEST(ShippedGlyphArchive, EveryEntryIsStored)
{
    int error = 0;
    zip_t* archive = zip_open(kShipped.c_str(), ZIP_RDONLY, &error);
    ASSERT_NE(archive, nullptr);
    int stored = 0;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat);
        stored += stat.comp_method == ZIP_CM_STORE;
    }
    zip_discard(archive);
    EXPECT_EQ(count, 89);
    EXPECT_EQ(stored, count);
}

struct Damage {
    const char* name;
    std::function<void(Entries&)> apply;
    std::vector<std::string> problems; // each a line of its own, in any order
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const Damage& c, std::ostream* out)
{
    *out << c.name;
}

class DamagedGlyphArchive : public ::testing::TestWithParam<Damage> { };

TEST_P(DamagedGlyphArchive, ReportsEachProblem)
{
    ScratchFolder folder;
    Entries entries = ReadEntries(kShipped);
    GetParam().apply(entries);
    const std::string path = (folder / "damaged.gfx").string();
    WriteZip(path, entries);

    std::vector<std::string> problems = CheckGlyphArchive(path);
    std::vector<std::string> expected = GetParam().problems;
    std::sort(problems.begin(), problems.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(problems, expected);

    const ProgramRun run = RunCheckCommand(path);
    EXPECT_EQ(run.exitCode, 1) << run.out;
    for (const std::string& problem : expected) {
        EXPECT_NE(run.out.find(path + ": " + problem + "\n"), std::string::npos) << run.out;
    }
}

INSTANTIATE_TEST_SUITE_P(
    , DamagedGlyphArchive,
    ::testing::Values(Damage{"MissingEntry",
                             [](Entries& e) {
                                 e.erase(std::find_if(e.begin(), e.end(), [](auto& x) { return x.first == "u6.jpg"; }));
                             },
                             {"u6.jpg: missing"}},
                      Damage{"InAFolder",
                             [](Entries& e) {
                                 for (auto& entry : e) {
                                     if (entry.first == "AA.jpg")
                                         entry.first = "old/AA.jpg";
                                 }
                             },
                             {"AA.jpg: missing"}},
                      Damage{"NotAJPEG",
                             [](Entries& e) { EntryBytes(e, "a.jpg") = "GIF89a, not a glyph"; },
                             {"a.jpg: JPEG error #" + std::to_string(JERR_NO_SOI)}},
                      Damage{"EmptyEntry",
                             [](Entries& e) { EntryBytes(e, "b.jpg").clear(); },
                             {"b.jpg: JPEG error #" + std::to_string(JERR_INPUT_EMPTY)}},
                      Damage{"LargerThanAnyGlyph",
                             [](Entries& e) {
                                 EntryBytes(e, "e.jpg") = std::string(glyphtint::render::kMaxGlyphEntryBytes + 1, 'z');
                             },
                             {"e.jpg: Entry \"e.jpg\" is too large (4194305 bytes; at most 4194304 are read)"}},
                      Damage{"BytesAfterThePicture",
                             [](Entries& e) { EntryBytes(e, "f.jpg") += std::string(1000, '\0'); },
                             {"f.jpg: does not end with the picture's end-of-image marker"}},
                      // Far wider than any font needs, though of the pack's height.
                      Damage{"PastTheGlyphSizeLimit",
                             [](Entries& e) {
                                 EntryBytes(e, "g.jpg") = MakeGlyphJpeg(glyphtint::render::kMaxGlyphWidth + 1, 20);
                             },
                             {"g.jpg: 1025 x 20 pixels; a glyph may be at most 1024 pixels wide and 512 high"}},
                      Damage{"TallerGlyph",
                             [](Entries& e) { EntryBytes(e, "c.jpg") = MakeGlyphJpeg(10, 24); },
                             {"c.jpg: height 24, most glyphs have 20"}},
                      Damage{"BrightCorners",
                             [](Entries& e) {
                                 TBitmap white;
                                 white.ResizeWidth(9);
                                 white.ResizeHeight(20);
                                 TJPEGImage jpeg;
                                 jpeg.AssignBitmap(white);
                                 EntryBytes(e, "d.jpg") = jpeg.SaveToBytes();
                             },
                             {"d.jpg: corner (0, 0) is (255, 255, 255), not the glyph background (118, 124, 112)",
                              "d.jpg: corner (8, 0) is (255, 255, 255), not the glyph background (118, 124, 112)",
                              "d.jpg: corner (0, 19) is (255, 255, 255), not the glyph background (118, 124, 112)",
                              "d.jpg: corner (8, 19) is (255, 255, 255), not the glyph background (118, 124, 112)"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GlyphArchiveCheck, UnreadableArchiveFails)
{
    ScratchFolder folder;
    const std::string path = (folder / "not-a-zip.gfx").string();
    std::ofstream(path) << "plain text, no archive";
    EXPECT_EQ(CheckGlyphArchive(path).size(), 1u);
    const ProgramRun run = RunCheckCommand(path);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find(path + ": "), std::string::npos) << run.out;
    EXPECT_EQ(RunCheckCommand((folder / "missing.gfx").string()).exitCode, 1);
}
