// glyphtint-render run as a separate program: exit codes, messages and the PNG it writes.
#include "archive/ZipArchive.h"
#include "render/FramedImage.h"
#include "render/GameProfiles.h"
#include "render/GlyphPack.h"
#include "tests/support/FileBytes.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TestArchives.h"

#include <QImage>

#include <gtest/gtest.h>

#include <tuple>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using glyphtint::test::MakeGlyphJpeg;
using glyphtint::test::ProgramRun;
using glyphtint::test::ReadFileBytes;
using glyphtint::test::RunProgram;
using glyphtint::test::ScratchFolder;
using glyphtint::test::WriteZip;

using glyphtint::raster::MakeColor;

namespace {

ProgramRun RunRenderTool(const std::vector<std::string>& arguments)
{
    return RunProgram("glyphtint-render", arguments);
}

// glyphtint-render with standard input from a file and output thrown away, as the
// kernel counted it: its exit status, what it printed as errors and its peak memory.
struct MeasuredRun {
    int exitCode = -1;
    std::string err;
    long peakMegabytes = 0;
};

MeasuredRun RunRenderToolMeasured(const std::vector<std::string>& arguments, const std::string& input,
                                  const std::filesystem::path& errFile)
{
    std::vector<std::string> words = {std::string(GLYPHTINT_BIN_DIR) + "/glyphtint-render"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
#if !defined(__SANITIZE_ADDRESS__)
        // Today's unbounded read must end in an error, not in the machine's memory.
        const rlimit space{std::uint64_t{2} << 30, std::uint64_t{2} << 30};
        ::setrlimit(RLIMIT_AS, &space);
#endif
        const int in = ::open(input.c_str(), O_RDONLY);
        const int out = ::open("/dev/null", O_WRONLY);
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) {
            ::_exit(127);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    MeasuredRun run;
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child) {
        ADD_FAILURE() << "cannot run glyphtint-render";
        return run;
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = ReadFileBytes(errFile.string());
    run.peakMegabytes = usage.ru_maxrss / 1024;
    return run;
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

    glyphtint::render::GlyphPack pack;
    pack.Open(ArchivePath());
    TPicture expected;
    RenderCodedText(pack, "a^1b", expected);
    const TBitmap& strip = expected.AsBitmap();

    const QImage written(QString::fromStdString(png));
    ASSERT_EQ(written.width(), strip.Width());
    ASSERT_EQ(written.height(), strip.Height());
    for (int y = 0; y < strip.Height(); ++y) {
        for (int x = 0; x < strip.Width(); ++x) {
            const QRgb pixel = written.pixel(x, y);
            ASSERT_EQ(MakeColor(qRed(pixel), qGreen(pixel), qBlue(pixel)), strip.PixelAt(x, y)) << x << "," << y;
        }
    }
}

// Strips, descriptions and batches of strips start no Qt: under a platform Qt cannot load
// and without a runtime folder they still run, silently; only a caption needs Qt.
TEST_F(RenderTool, StripsDescriptionsAndBatchesRunWithoutQt)
{
    const std::string tool = std::string(GLYPHTINT_BIN_DIR) + "/glyphtint-render";
    const auto runWithoutQt = [&](std::vector<std::string> arguments, const std::string& input = {}) {
        arguments.insert(arguments.begin(), {"-u", "XDG_RUNTIME_DIR", "QT_QPA_PLATFORM=no-such-platform", tool,
                                             "--archive", ArchivePath()});
        return RunProgram("/usr/bin/env", arguments, input);
    };
    const std::string png = (folder_ / "strip.png").string();
    ProgramRun run = runWithoutQt({"--strip", png, "--info", "ab"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.substr(0, 9), "bytes: 2\n");
    EXPECT_FALSE(QImage(QString::fromStdString(png)).isNull());

    run = runWithoutQt({"--batch", (folder_ / "batch").string()}, "ab\nba\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(std::filesystem::exists(folder_ / "batch" / "000002.png"));

    run = runWithoutQt({"--framed", (folder_ / "framed.jpg").string(), "ab"});
    EXPECT_NE(run.exitCode, 0) << "a caption is drawn with Qt, which cannot start here";
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
    EXPECT_NE(run.err.find("no output chosen"), std::string::npos) << run.err;
}

// A pack held for writing is named as glyphtint-gfx names it; one being read is shared.
TEST_F(RenderTool, AnArchiveHeldForWritingSaysSoAndOneBeingReadIsShared)
{
    const std::string png = (folder_ / "strip.png").string();
    TZipArchive holder;
    holder.FileName = ArchivePath();
    holder.Open(0);
    EXPECT_EQ(RunRenderTool({"--archive", ArchivePath(), "--strip", png, "ab"}).exitCode, 0) << "a reader shares it";
    holder.Open(2);
    ProgramRun run = RunRenderTool({"--archive", ArchivePath(), "--strip", png, "ab"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "Cannot open file " + ArchivePath() + ": locked by another program.\n");
    run = RunProgram("glyphtint-render", {"--archive", ArchivePath(), "--batch", (folder_ / "out").string()}, "ab\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out,
              "{\"line\": 1, \"error\": \"Cannot open file " + ArchivePath() + ": locked by another program.\"}\n");
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

// The tool's framed outputs are what the window saves and copies: the same composition,
// the same JPEG bytes, and the clipboard picture without loss.
TEST_F(RenderTool, FramedPicturesAreTheWindowsOwn)
{
    const std::filesystem::path jpeg = folder_ / "framed.jpg";
    const std::filesystem::path png = folder_ / "clipboard.png";
    const std::string text = "a^1b";
    const ProgramRun run =
        RunRenderTool({"--archive", ArchivePath(), "--framed", jpeg.string(), "--clipboard-png", png.string(), text});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");

    glyphtint::render::GlyphPack pack;
    pack.Open(ArchivePath());
    TPicture strip;
    RenderCodedText(pack, text, strip);
    TPicture framed;
    glyphtint::render::ComposeFramedImage(strip.AsBitmap(), text, framed);
    const TBitmap& expected = framed.AsBitmap();

    const QImage written(QString::fromStdString(png.string()));
    ASSERT_EQ(written.width(), expected.Width());
    ASSERT_EQ(written.height(), expected.Height());
    for (int y = 0; y < expected.Height(); ++y) {
        for (int x = 0; x < expected.Width(); ++x) {
            const QRgb pixel = written.pixel(x, y);
            ASSERT_EQ(MakeColor(qRed(pixel), qGreen(pixel), qBlue(pixel)), expected.PixelAt(x, y))
                << "column " << x << ", row " << y;
        }
    }

    const std::filesystem::path saved = folder_ / "saved.jpg";
    glyphtint::render::SaveFramedImage(framed.AsBitmap(), saved.string());
    EXPECT_EQ(ReadFileBytes(jpeg), ReadFileBytes(saved));
}

// The text is described without the archive, which need not even exist; "é" has no
// glyph, so it is counted apart and left out of the text as the picture leaves it out.
TEST_F(RenderTool, InfoCountsBytesAndVisibleCharacters)
{
    const ProgramRun run = RunRenderTool({"--archive", (folder_ / "none.gfx").string(), "--info", "^1m00 \xC3\xA9^^x"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "bytes: 11\nvisible: 5\nnot drawn: 1\ntext: m00 ^\ndescribed: m00 ^ in red\n"
                       R"(runs: [{"text": "m00 ^", "colour": "#ff0408"}])"
                       "\n");
}

// Runs are split where the drawn colour changes, not at every code, and keep the spaces
// a stats page must show.
TEST_F(RenderTool, InfoRunsJoinCodesOfOneColour)
{
    const ProgramRun run = RunRenderTool({"--info", "^1a^1b^2 ^2c\xC3\xA9"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(R"(runs: [{"text": "ab", "colour": "#ff0408"}, {"text": " c", "colour": "#08ff08"}])"
                           "\n"),
              std::string::npos)
        << run.out;
}

// --game reads the text as that game does in every form, and tells the game's limit.
TEST_F(RenderTool, GamesReadTheTextTheirWayInEveryForm)
{
    ProgramRun run = RunRenderTool({"--game", "xonotic", "--info", "^xF80Hot^7Dog"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "bytes: 13\nvisible: 6\nnot drawn: 0\ntext: HotDog\ndescribed: Hot in orange, Dog in white\n"
                       R"(runs: [{"text": "Hot", "colour": "#ff8800"}, {"text": "Dog", "colour": "#ffffff"}])"
                       "\n"
                       "game: xonotic (Xonotic)\nlength: 13 bytes of 128 \u00B7 6 shown\n");

    const std::string png = (folder_ / "strip.png").string();
    run = RunRenderTool({"--archive", ArchivePath(), "--game", "xonotic", "--strip", png, "^x0F0a^1b"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    glyphtint::render::GlyphPack pack;
    pack.Open(ArchivePath());
    TPicture expected;
    RenderCodedText(pack, "^x0F0a^1b", expected, {}, glyphtint::render::FindGameProfile("xonotic")->rules);
    const QImage written(QString::fromStdString(png));
    ASSERT_EQ(written.width(), expected.AsBitmap().Width());
    const QRgb first = written.pixel(5, 8);
    EXPECT_EQ(MakeColor(qRed(first), qGreen(first), qBlue(first)), expected.AsBitmap().PixelAt(5, 8));

    run = RunProgram("glyphtint-render",
                     {"--archive", ArchivePath(), "--game", "etlegacy", "--batch", (folder_ / "batch").string()},
                     std::string(37, 'a') + "\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(R"("game": "etlegacy", "limit": 36, "over_limit": true, "length": "37 bytes of 36)"),
              std::string::npos)
        << run.out;

    run = RunRenderTool({"--game", "list"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(run.out.starts_with("glyphtint\tglyphtint\nquake3\tQuake III Arena 1.32\n")) << run.out;
    EXPECT_EQ(RunRenderTool({"--list-games"}).out, run.out);

    run = RunRenderTool({"--game", "quake", "--info", "x"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("--game takes one of glyphtint, quake3, ioquake3,"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
}

// Pictures too large for their file format are refused with our own explanation, before
// the image library says anything, and no file is left behind.
TEST_F(RenderTool, PicturesBeyondTheFormatsLimitsAreRefusedClearly)
{
    // Glyphs 1000 pixels wide: 1001 of them pass libpng's million, 66 pass JPEG's 65 500.
    WriteZip(folder_ / "wide.gfx", {{"a.jpg", MakeGlyphJpeg(1000, 8)}});
    const std::string wide = (folder_ / "wide.gfx").string();
    struct Case {
        const char* option;
        std::size_t glyphs;
        const char* limit;
    };
    for (const Case& c : {Case{"--strip", 1001, "a PNG file can be at most 1000000 pixels wide"},
                          Case{"--clipboard-png", 1000, "a PNG file can be at most 1000000 pixels wide"},
                          Case{"--framed", 66, "a JPEG file can be at most 65500 pixels wide"}}) {
        const std::filesystem::path out = folder_ / "out";
        const ProgramRun run = RunRenderTool({"--archive", wide, c.option, out.string(), std::string(c.glyphs, 'a')});
        EXPECT_EQ(run.exitCode, 1) << c.option;
        EXPECT_EQ(run.err.rfind("The ", 0), 0u) << c.option << ": " << run.err;
        EXPECT_NE(run.err.find(c.limit), std::string::npos) << c.option << ": " << run.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << c.option;
    }
}

// A refusal costs nothing: a text whose picture no file can hold is refused from the
// glyph headers, within an address-space limit that drawing it would pass many times.
TEST_F(RenderTool, TooLargePicturesAreRefusedBeforeAnythingIsDrawn)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#endif
    // 100 000 glyphs 1000 pixels wide: a strip of 3.2 GB.
    WriteZip(folder_ / "wide.gfx", {{"a.jpg", MakeGlyphJpeg(1000, 8)}});
    const std::string wide = (folder_ / "wide.gfx").string();
    const std::string tool = std::string(GLYPHTINT_BIN_DIR) + "/glyphtint-render";
    for (const auto& [option, limit] : {std::pair{"--strip", "a PNG file can be at most 1000000 pixels wide"},
                                        std::pair{"--framed", "a JPEG file can be at most 65500 pixels wide"}}) {
        const std::filesystem::path out = folder_ / "out";
        const ProgramRun run =
            RunProgram("/bin/sh", {"-c", "ulimit -v 1048576 && exec \"$0\" \"$@\"", tool, "--archive", wide, option,
                                   out.string(), std::string(100000, 'a')});
        EXPECT_EQ(run.exitCode, 1) << option;
        EXPECT_NE(run.err.find(limit), std::string::npos) << option << ": " << run.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << option;
    }
}

// A text has a limit everywhere it enters, checked while it is read: an endless source
// or a huge sparse file is refused at once, having cost no more than the limit.
TEST_F(RenderTool, TextsPastTheLimitAreRefusedWhileBeingRead)
{
    const std::filesystem::path sparse = folder_ / "sparse.txt";
    std::ofstream(sparse, std::ios::binary).close();
    std::filesystem::resize_file(sparse, std::uintmax_t{2} << 30);
    const std::string limit = " is longer than 1048576 bytes, the most glyphtint-render takes.\n";
    struct Case {
        std::vector<std::string> arguments;
        std::string input;
        std::string message;
    };
    for (const Case& c : {Case{{"--info", "--text-file", "/dev/zero"}, "/dev/null", "The text in /dev/zero" + limit},
                          Case{{"--info", "--text-file", "-"}, "/dev/urandom", "The text on standard input" + limit},
                          Case{{"--strip", (folder_ / "out.png").string(), "--text-file", sparse.string()},
                               "/dev/null",
                               "The text in " + sparse.string() + limit}}) {
        const MeasuredRun run = RunRenderToolMeasured(c.arguments, c.input, folder_ / "err.txt");
        EXPECT_EQ(run.exitCode, 1) << c.message;
        EXPECT_EQ(run.err, c.message);
        EXPECT_LT(run.peakMegabytes, 200) << c.message;
    }
    EXPECT_FALSE(std::filesystem::exists(folder_ / "out.png"));
}

// The limit holds for the text: a file of the most bytes may still end in its line end,
// and one byte more is refused.
TEST_F(RenderTool, TheTextLimitIsExactAndLeavesTheLineEndOut)
{
    const std::filesystem::path file = folder_ / "text.txt";
    std::ofstream(file, std::ios::binary) << std::string(1048576, '~') << "\r\n";
    ProgramRun run = RunRenderTool({"--info", "--text-file", file.string()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "bytes: 1048576\nvisible: 0\nnot drawn: 1048576\ntext: \ndescribed: \nruns: []\n");

    std::ofstream(file, std::ios::binary) << std::string(1048577, '~');
    run = RunRenderTool({"--info", "--text-file", file.string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err,
              "The text in " + file.string() + " is longer than 1048576 bytes, the most glyphtint-render takes.\n");
    EXPECT_EQ(run.out, "");
}

// A caption that cannot fit a JPEG by its length alone is refused without measuring it
// in its font, which for a long caption costs seconds.
TEST_F(RenderTool, ACaptionTooLongForAnyFrameIsRefusedFromItsLength)
{
    const std::filesystem::path file = folder_ / "text.txt";
    // '~' draws no glyph: the strip is empty and the caption alone is too wide.
    std::ofstream(file, std::ios::binary) << std::string(70000, '~');
    const ProgramRun run = RunRenderTool(
        {"--archive", ArchivePath(), "--framed", (folder_ / "out.jpg").string(), "--text-file", file.string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "The framed picture is at least 70016 pixels wide; a JPEG file can be at most 65500 pixels wide "
                       "and high, so the text is too long.\n");
    EXPECT_FALSE(std::filesystem::exists(folder_ / "out.jpg"));
}

// --scale 1 is today's strip; larger scales are its pixels as blocks, and the scaled
// sizes keep every limit, refused before a glyph is drawn.
TEST_F(RenderTool, ScaledPicturesAreBlocksOfTheStripAndKeepTheLimits)
{
    const std::filesystem::path plain = folder_ / "plain.png";
    const std::filesystem::path one = folder_ / "one.png";
    const std::filesystem::path three = folder_ / "three.png";
    ASSERT_EQ(RunRenderTool({"--archive", ArchivePath(), "--strip", plain.string(), "^1a^4b"}).exitCode, 0);
    ASSERT_EQ(RunRenderTool({"--archive", ArchivePath(), "--scale", "1", "--strip", one.string(), "^1a^4b"}).exitCode,
              0);
    EXPECT_EQ(ReadFileBytes(one), ReadFileBytes(plain));
    ASSERT_EQ(RunRenderTool({"--archive", ArchivePath(), "--scale", "3", "--strip", three.string(), "^1a^4b"}).exitCode,
              0);
    const QImage small(QString::fromStdString(plain.string()));
    const QImage large(QString::fromStdString(three.string()));
    ASSERT_EQ(large.size(), small.size() * 3);
    for (int y = 0; y < large.height(); ++y) {
        for (int x = 0; x < large.width(); ++x) {
            ASSERT_EQ(large.pixel(x, y), small.pixel(x / 3, y / 3)) << x << "," << y;
        }
    }

    // 126 glyphs 1000 pixels wide fit a PNG strip, but not 8 times over; 9 fit a JPEG.
    WriteZip(folder_ / "wide.gfx", {{"a.jpg", MakeGlyphJpeg(1000, 8)}});
    const std::string wide = (folder_ / "wide.gfx").string();
    for (const auto& [option, glyphs, limit] :
         {std::tuple{"--strip", 126, "The strip is 1008000 x 64 pixels; a PNG file can be at most 1000000"},
          std::tuple{"--framed", 9, "The framed picture is at least 72128 pixels wide; a JPEG file"}}) {
        const std::filesystem::path out = folder_ / "out";
        const ProgramRun run = RunRenderTool({"--archive", wide, "--scale", "8", option, out.string(),
                                              std::string(static_cast<std::size_t>(glyphs), 'a')});
        EXPECT_EQ(run.exitCode, 1) << option;
        EXPECT_EQ(run.err.rfind(limit, 0), 0u) << option << ": " << run.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << option;
    }
}

// A transparent strip is RGBA: the glyphs' bright pixels opaque in their tint, the dark
// ones transparent; a coloured background replaces the glyph background.
TEST_F(RenderTool, TransparentAndColouredStripsReplaceTheGlyphBackground)
{
    const std::filesystem::path clear = folder_ / "clear.png";
    const std::filesystem::path page = folder_ / "page.png";
    ASSERT_EQ(
        RunRenderTool({"--archive", ArchivePath(), "--background", "transparent", "--strip", clear.string(), "^1a"})
            .exitCode,
        0);
    ASSERT_EQ(RunRenderTool({"--archive", ArchivePath(), "--background", "#0000ff", "--strip", page.string(), "^1a"})
                  .exitCode,
              0);
    glyphtint::render::TColourTriple red;
    ASSERT_TRUE(glyphtint::render::SelectColourCode('1', red));
    const QImage transparent(QString::fromStdString(clear.string()));
    const QImage coloured(QString::fromStdString(page.string()));
    ASSERT_TRUE(transparent.hasAlphaChannel());
    ASSERT_FALSE(coloured.hasAlphaChannel());
    int drawn = 0;
    int clearPixels = 0;
    for (int y = 0; y < transparent.height(); ++y) {
        for (int x = 0; x < transparent.width(); ++x) {
            const QRgb pixel = transparent.pixel(x, y);
            const int alpha = qAlpha(pixel);
            if (alpha == 0) {
                ++clearPixels;
                EXPECT_EQ(coloured.pixel(x, y), qRgb(0, 0, 255)) << x << "," << y;
                continue;
            }
            ++drawn;
            // The tint colour, as far as QImage's premultiplied reading of a faint pixel keeps it.
            if (alpha >= 128) {
                EXPECT_NEAR(qRed(pixel), red.Red, 1) << x << "," << y;
                EXPECT_NEAR(qGreen(pixel), red.Green, 1) << x << "," << y;
                EXPECT_NEAR(qBlue(pixel), red.Blue, 1) << x << "," << y;
            }
            // The red blended onto the blue page by the pixel's alpha, within a step.
            EXPECT_NEAR(qRed(coloured.pixel(x, y)), (red.Red * alpha + 127) / 255, 1) << x << "," << y;
            EXPECT_NEAR(qBlue(coloured.pixel(x, y)), (red.Blue * alpha + 255 * (255 - alpha) + 127) / 255, 1)
                << x << "," << y;
        }
    }
    EXPECT_GT(drawn, 0);
    EXPECT_GT(clearPixels, 0);
}
