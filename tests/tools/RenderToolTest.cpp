// glyphtint-render run as a separate program: exit codes, messages and the PNG it writes.
#include "archive/ZipArchive.h"
#include "render/GlyphStrip.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TestArchives.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

ProgramRun RunRenderTool(const std::vector<std::string>& arguments)
{
    return RunProgram("glyphtint-render", arguments);
}

class RenderTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteZip(folder_ / "glyphs.gfx", {{"a.jpg", MakeGlyphJpeg(10, 16, 1)}, {"b.jpg", MakeGlyphJpeg(12, 16, 2)}});
    }
    std::string ArchivePath() const { return (folder_ / "glyphs.gfx").string(); }

    ScratchFolder folder_;
};

} // namespace

TEST_F(RenderTool, WritesTheRenderedStripLosslessly)
{
    const std::string png = (folder_ / "strip.png").string();
    const ProgramRun run = RunRenderTool({"--archive", ArchivePath(), "--strip", png, "a^1b"});
    ASSERT_EQ(run.exitCode, 0) << run.err;

    TZipArchive archive;
    archive.FileName = ArchivePath();
    archive.Open(0);
    TPicture expected;
    RenderCodedText(archive, "a^1b", expected);
    const TBitmap& strip = expected.AsBitmap();

    const QImage written(QString::fromStdString(png));
    ASSERT_EQ(written.width(), strip.Width());
    ASSERT_EQ(written.height(), strip.Height());
    for (int y = 0; y < strip.Height(); ++y)
        for (int x = 0; x < strip.Width(); ++x) {
            const QRgb pixel = written.pixel(x, y);
            ASSERT_EQ(MakeColor(qRed(pixel), qGreen(pixel), qBlue(pixel)), strip.PixelAt(x, y)) << x << "," << y;
        }
}

TEST_F(RenderTool, FailuresPrintTheShownMessageAndWriteNothing)
{
    const std::string png = (folder_ / "strip.png").string();

    ProgramRun run = RunRenderTool({"--archive", ArchivePath(), "--strip", png, "^1^2"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_FALSE(run.err.empty());
    EXPECT_FALSE(std::filesystem::exists(png)) << "an empty strip must not leave a broken file";

    run = RunRenderTool({"--archive", ArchivePath(), "--strip", png, "abc"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "ZipArchive1: File \"c.jpg\" not found - Native error: 00015.\n");
    EXPECT_FALSE(std::filesystem::exists(png));

    run = RunRenderTool({"--archive", ArchivePath(), "--strip", (folder_ / "missing/strip.png").string(), "ab"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Cannot create file"), std::string::npos) << run.err;

    run = RunRenderTool({"--archive", ArchivePath(), "ab"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("usage:"), std::string::npos);
}

// Started through a link from another folder, the tool still finds the archive beside
// its real file.
TEST_F(RenderTool, FindsTheArchiveBesideTheRealExecutable)
{
    const std::filesystem::path link = folder_ / "linked-render";
    std::filesystem::create_symlink(std::string(GLYPHTINT_BIN_DIR) + "/glyphtint-render", link);
    const std::string png = (folder_ / "strip.png").string();
    const ProgramRun run = RunProgram(link.string(), {"--strip", png, "^1m00"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(std::filesystem::exists(png));
}

TEST_F(RenderTool, TextStartingWithADashFollowsDoubleDash)
{
    const std::string png = (folder_ / "strip.png").string();
    EXPECT_EQ(RunRenderTool({"--archive", ArchivePath(), "--strip", png, "-ab"}).exitCode, 2);
    // Read as text, the dash reaches the archive, which has no glyph for it.
    const ProgramRun run = RunRenderTool({"--archive", ArchivePath(), "--strip", png, "--", "-ab"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("\"-.jpg\" not found"), std::string::npos) << run.err;
}
