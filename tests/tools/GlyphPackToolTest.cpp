// glyphtint-make-glyphs with a font of the user's choice: what it makes passes the
// archive check, and what fails leaves an existing pack alone.
#include "archive/ZipArchive.h"
#include "raster/JPEGImage.h"
#include "tests/support/FileBytes.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TestArchives.h"
#include "tools/GfxCheck.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <sys/stat.h>

using glyphtint::test::ProgramRun;
using glyphtint::test::ReadFileBytes;
using glyphtint::test::RunProgram;
using glyphtint::test::ScratchFolder;

namespace {

const std::string kSerifFont = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf";

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
