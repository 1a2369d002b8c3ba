// glyphtint-make-glyphs with a font of the user's choice: what it makes passes the
// archive check, and what fails leaves an existing pack alone.
#include "archive/ZipArchive.h"
#include "raster/JPEGImage.h"
#include "tests/support/FileBytes.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TestArchives.h"
#include "render/GfxCheck.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <sys/stat.h>

using glyphtint::test::ProgramRun;
using glyphtint::test::ReadFileBytes;
using glyphtint::test::RunProgram;
using glyphtint::test::ScratchFolder;

namespace {

const std::string kSerifFont = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf";

const std::string kBoldFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
const std::string kLiberationFont = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";

// Big-endian fields of the font's table directory, read within the file's bytes.
std::uint32_t BigEndianAt(const std::string& bytes, std::size_t offset, std::size_t size)
{
    if (offset > bytes.size() || size > bytes.size() - offset) {
        throw std::out_of_range("the font's table directory runs past its end");
    }
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
        value = value << 8 | static_cast<unsigned char>(bytes[offset + i]);
    }
    return value;
}

// A copy of the font file with the named tables' bytes set to zero, as a damaged disk or
// a careless font editor leaves them.
std::string WithTablesZeroed(const std::string& font, const std::vector<std::string>& tags,
                             const std::filesystem::path& copy)
{
    std::string bytes = ReadFileBytes(font);
    constexpr std::size_t kDirectory = 12;
    constexpr std::size_t kRecord = 16;
    const std::uint32_t tables = BigEndianAt(bytes, 4, 2);
    std::size_t zeroed = 0;
    for (std::uint32_t i = 0; i < tables; ++i) {
        const std::size_t record = kDirectory + i * kRecord;
        BigEndianAt(bytes, record, kRecord);
        const std::string tag = bytes.substr(record, 4);
        if (std::find(tags.begin(), tags.end(), tag) == tags.end()) {
            continue;
        }
        const std::uint32_t offset = BigEndianAt(bytes, record + 8, 4);
        const std::uint32_t length = BigEndianAt(bytes, record + 12, 4);
        BigEndianAt(bytes, offset, length);
        std::fill_n(bytes.begin() + offset, length, '\0');
        ++zeroed;
    }
    if (zeroed != tags.size()) {
        throw std::runtime_error("a table to zero is missing from " + font);
    }
    std::ofstream(copy, std::ios::binary) << bytes;
    return copy.string();
}

int GlyphHeight(const std::string& archivePath, const std::string& entry)
{
    TZipArchive archive;
    archive.FileName = archivePath;
    archive.Open(0);
    std::string bytes;
    archive.ExtractEntryBytes(entry, bytes);
    TJPEGImage glyph;
    glyph.LoadJPEG(std::string_view(bytes));
    return glyph.Height();
}

} // namespace

TEST(GlyphPackTool, PackFromAnotherFontAndHeightPassesTheCheck)
{
    ScratchFolder folder;
    for (int height : {12, 40}) {
        const std::string pack = (folder / ("pack" + std::to_string(height) + ".gfx")).string();
        const ProgramRun run =
            RunProgram("glyphtint-make-glyphs", {"--font", kSerifFont, "--height", std::to_string(height), pack});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        // Too tall for the window's palettes: said, but no reason to refuse the pack.
        EXPECT_EQ(run.err.find("note: glyphs 40 pixels high") != std::string::npos, height == 40) << run.err;

        const ProgramRun check = RunProgram("glyphtint-gfx", {"check", pack});
        EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
        EXPECT_EQ(GlyphHeight(pack, "QQ.jpg"), height);
        EXPECT_EQ(GlyphHeight(pack, "spc.jpg"), height);
    }
}

TEST(GlyphPackTool, FailuresKeepTheExistingPack)
{
    ScratchFolder folder;
    const std::filesystem::path pack = folder / "glyphtint.gfx";
    std::ofstream(pack, std::ios::binary) << "the pack in use";
    std::ofstream(folder / "junk.ttf", std::ios::binary) << "not a font";

    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        std::string message;
    };
    const Case cases[] = {
        {{"--font", (folder / "junk.ttf").string(), pack.string()}, 1, "as a TrueType or OpenType font"},
        {{"--font", (folder / "missing.ttf").string(), pack.string()}, 1, "as a TrueType or OpenType font"},
        {{"--height", "7", pack.string()}, 2, "--height 7: the height is a number from 8 to 256"},
        {{"--height", "20x", pack.string()}, 2, "--height 20x: the height"},
        {{"--font", kSerifFont}, 2, "no OUT.gfx given"},
        {{"--fonts", kSerifFont, pack.string()}, 2, "unknown option '--fonts'"},
        {{"--font", kSerifFont, (folder / "missing" / "pack.gfx").string()}, 1, "Cannot create file"},
    };
    for (const Case& c : cases) {
        const ProgramRun run = RunProgram("glyphtint-make-glyphs", c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments.front() << " " << c.arguments[1];
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(ReadFileBytes(pack), "the pack in use");
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 2);
}

// A font that cannot draw the pack's characters is refused, naming them, and no pack is
// written; the font it was damaged from still makes one. Without its character map a
// font either maps no character (FreeType falls back on the glyph names of its 'post'
// table, so that goes too) or is passed over for the installed font of its name; without
// outlines every glyph is blank.
TEST(GlyphPackTool, AFontThatCannotDrawTheCharactersIsRefusedNamingThem)
{
    ScratchFolder folder;
    struct Case {
        const char* name;
        std::string font;
        std::vector<std::string> tables;
        const char* reason;
    };
    const Case cases[] = {
        {"no character map", kBoldFont, {"cmap", "post"}, "it has no glyph for"},
        {"character map passed over", kLiberationFont, {"cmap"}, "from another font"},
        {"no outlines", kBoldFont, {"glyf"}, "are empty"},
        {"no outline offsets", kLiberationFont, {"loca"}, "are empty"},
    };
    const std::string pack = (folder / "pack.gfx").string();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string font = WithTablesZeroed(c.font, c.tables, folder / "damaged.ttf");
        const ProgramRun run = RunProgram("glyphtint-make-glyphs", {"--font", font, pack});
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_NE(run.err.find("The font " + font + " cannot draw every glyph"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(pack));
    }
    for (const std::string& font : {kBoldFont, kLiberationFont}) {
        const ProgramRun run = RunProgram("glyphtint-make-glyphs", {"--font", font, pack});
        EXPECT_EQ(run.exitCode, 0) << font << ": " << run.err;
        EXPECT_EQ(RunProgram("glyphtint-gfx", {"check", pack}).exitCode, 0) << font;
    }
}

// Inputs that are not files are refused at once, and the pack is checked without any
// temporary file: the tool works with no usable temporary folder and leaves nothing.
TEST(GlyphPackTool, NeedsNoTemporaryFilesAndNeverWaitsOnAnInput)
{
    ScratchFolder folder;
    const std::string fifo = (folder / "font.ttf").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string tool = std::string(GLYPHTINT_BIN_DIR) + "/glyphtint-make-glyphs";
    const std::string pack = (folder / "pack.gfx").string();

    // A hang would end after a minute with timeout's 124.
    const ProgramRun fromFifo =
        RunProgram("/bin/sh", {"-c", "exec timeout 60 \"$0\" \"$@\"", tool, "--font", fifo, pack});
    EXPECT_EQ(fromFifo.exitCode, 1) << fromFifo.err;
    EXPECT_NE(fromFifo.err.find("Cannot read " + fifo + " as a TrueType or OpenType font: it is not a regular file"),
              std::string::npos)
        << fromFifo.err;

    // A temporary folder that does not exist.
    const ProgramRun run = RunProgram("/bin/sh", {"-c", "TMPDIR=\"$1\" exec \"$0\" --font \"$2\" \"$3\"", tool,
                                                  folder.Path() + "/none", kSerifFont, pack});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(RunProgram("glyphtint-gfx", {"check", pack}).exitCode, 0);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"font.ttf", "pack.gfx"}));
}
