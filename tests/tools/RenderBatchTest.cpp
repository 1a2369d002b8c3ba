// glyphtint-render --batch and --text-file: each batch picture against the one --strip
// writes for the same text, the JSON report line by line, and texts read from files.
#include "render/GlyphPack.h"
#include "tests/support/FileBytes.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TestArchives.h"
#include "render/TextLimits.h"
#include "pictures/TextJson.h"
#include "tools/render/RenderBatch.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

using glyphtint::pictures::JsonString;
using glyphtint::test::MakeGlyphJpeg;
using glyphtint::test::ProgramRun;
using glyphtint::test::ReadFileBytes;
using glyphtint::test::RunProgram;
using glyphtint::test::ScratchFolder;
using glyphtint::test::WriteZip;

namespace {

class RenderBatch : public ::testing::Test {
protected:
    void SetUp() override
    {
        // "c" is 1000 pixels wide, so 1001 of them are past a PNG file's million.
        WriteZip(folder_ / "glyphs.gfx", {{"a.jpg", MakeGlyphJpeg(10, 16, 1)},
                                          {"b.jpg", MakeGlyphJpeg(12, 16, 2)},
                                          {"c.jpg", MakeGlyphJpeg(1000, 16, 3)}});
    }
    std::string ArchivePath() const { return (folder_ / "glyphs.gfx").string(); }

    // The file `--strip --text-file` writes for text: the batch's reference.
    std::string StripOf(const std::string& text, const char* option = "--strip")
    {
        const std::filesystem::path out = folder_ / "reference";
        std::filesystem::remove(out);
        const ProgramRun run = RunProgram(
            "glyphtint-render", {"--archive", ArchivePath(), option, out.string(), "--text-file", "-"}, text + "\n");
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return ReadFileBytes(out);
    }

    ScratchFolder folder_;
};

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

} // namespace

TEST_F(RenderBatch, EachLineIsTheStripOfItsTextOrAnErrorLine)
{
    const std::string longText = [] {
        std::string text;
        for (int i = 0; i < 99999; ++i) {
            text += "^1";
        }
        return text + "ba";
    }();
    ASSERT_EQ(longText.size(), 200000u);
    struct Line {
        std::string input;   // as the batch reads it, without its LF
        std::string report;  // the JSON after {"line": N, with FILE for the picture's path
        std::string stripOf; // the text --strip draws for comparison; "" for error lines
    };
    const std::vector<Line> table = {
        {"a^1b",
         R"("file": "FILE", "bytes": 4, "visible": 2, "not_drawn": 0, "text": "ab", "described": "a in white, b in red", "runs": [{"text": "a", "colour": "#ffffff"}, {"text": "b", "colour": "#ff0408"}]})",
         "a^1b"},
        {"", R"("error": "The text draws no glyph: there is no picture to write."})", ""},
        {"^1^2", R"("error": "The text draws no glyph: there is no picture to write."})", ""},
        {"^2ba\r",
         R"("file": "FILE", "bytes": 4, "visible": 2, "not_drawn": 0, "text": "ba", "described": "ba in lime", "runs": [{"text": "ba", "colour": "#08ff08"}]})",
         "^2ba"},
        {"\xC3\xA9"
         "a\xFF\t",
         R"("file": "FILE", "bytes": 5, "visible": 1, "not_drawn": 3, "text": "a", "described": "a in white", "runs": [{"text": "a", "colour": "#ffffff"}]})",
         "\xC3\xA9"
         "a\xFF\t"},
        {longText,
         R"("file": "FILE", "bytes": 200000, "visible": 2, "not_drawn": 0, "text": "ba", "described": "ba in red", "runs": [{"text": "ba", "colour": "#ff0408"}]})",
         longText},
        {std::string(1001, 'c'),
         R"("error": "The strip is 1001000 x 16 pixels; a PNG file can be at most 1000000 pixels wide and high, so the text is too long."})",
         ""},
        {"abd", R"("error": "ZipArchive1: File \"d.jpg\" not found - Native error: 00015."})", ""},
        {"b",
         R"("file": "FILE", "bytes": 1, "visible": 1, "not_drawn": 0, "text": "b", "described": "b in white", "runs": [{"text": "b", "colour": "#ffffff"}]})",
         "b"},
    };
    std::string input;
    for (const Line& line : table) {
        input += line.input + "\n";
    }
    input.pop_back(); // the last line has no end

    // The folder is made, and its name reaches the report as valid JSON.
    const std::filesystem::path out = folder_ / "new" / "out \"\xC3\xA9\xFF";
    const std::string jsonOut = R"(new/out \"é\u00ff)";
    const ProgramRun run = RunProgram("glyphtint-render", {"--archive", ArchivePath(), "--batch", out.string()}, input);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(run.err, "");

    const std::vector<std::string> reports = Lines(run.out);
    ASSERT_EQ(reports.size(), table.size()) << run.out;
    for (std::size_t i = 0; i < table.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%06zu.png", i + 1);
        std::string expected = "{\"line\": " + std::to_string(i + 1) + ", " + table[i].report;
        if (const std::size_t file = expected.find("FILE"); file != std::string::npos) {
            expected.replace(file, 4,
                             JsonString(folder_.Path()).substr(1, folder_.Path().size()) + "/" + jsonOut + "/" + name);
        }
        EXPECT_EQ(reports[i], expected) << "line " << i + 1;
        const std::filesystem::path picture = out / name;
        if (table[i].stripOf.empty()) {
            EXPECT_FALSE(std::filesystem::exists(picture)) << "line " << i + 1;
        } else {
            EXPECT_EQ(ReadFileBytes(picture), StripOf(table[i].stripOf)) << "line " << i + 1;
        }
    }
}

TEST_F(RenderBatch, FramedPicturesAndExitStatus)
{
    const std::filesystem::path out = folder_ / "framed";
    // Readers share the archive: one holding it open keeps no batch out.
    glyphtint::render::GlyphPack otherBatch;
    otherBatch.Open(ArchivePath());
    ProgramRun run = RunProgram("glyphtint-render", {"--archive", ArchivePath(), "--framed", "--batch", out.string()},
                                "a^1b\r\n^1\nba\n");
    otherBatch.Close();
    EXPECT_EQ(run.exitCode, 1) << run.err;
    ASSERT_EQ(Lines(run.out).size(), 3u) << run.out;
    EXPECT_EQ(ReadFileBytes(out / "000001.jpg"), StripOf("a^1b", "--framed"));
    // A line without a glyph is no name: no frame around nothing either.
    EXPECT_EQ(Lines(run.out)[1], R"({"line": 2, "error": "The text draws no glyph: there is no picture to write."})");
    EXPECT_FALSE(std::filesystem::exists(out / "000002.jpg"));
    EXPECT_EQ(ReadFileBytes(out / "000003.jpg"), StripOf("ba", "--framed"));

    // Without its archive every line that needs a glyph says why, and the batch goes on.
    const std::string missing = (folder_ / "none.gfx").string();
    run = RunProgram("glyphtint-render", {"--archive", missing, "--batch", out.string()}, "a\n^1\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "{\"line\": 1, \"error\": \"ZipArchive1: File \\\"" + missing +
                           "\\\" not found - Native error: 00012.\"}\n{\"line\": 2, \"error\": \"The text draws no "
                           "glyph: there is no picture to write.\"}\n");

    const std::filesystem::path file = folder_ / "a-file";
    std::ofstream(file) << "x";
    run = RunProgram("glyphtint-render", {"--archive", ArchivePath(), "--batch", (file / "sub").string()}, "a\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Cannot create folder " + (file / "sub").string() + ".\n");

    EXPECT_EQ(RunProgram("glyphtint-render", {"--batch", out.string(), "text"}).exitCode, 2);
    run = RunProgram("glyphtint-render", {"--batch", out.string(), "--strip", "x.png"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err.substr(0, run.err.find('\n')),
              "glyphtint-render: --strip names one file; --batch writes a folder: use one of them");
}

// A line past the longest text is an error line and the next line is drawn; a line
// without an end in sight (/dev/zero, a disk image: here 65 MiB of zero bytes) ends the
// batch after its error line, without being held.
TEST_F(RenderBatch, LinesPastTheLongestTextAreSkipped)
{
    const std::string tooLong = R"({"line": 2, "error": "The line is longer than 1048576 bytes, the most a coded text )"
                                R"(may have: it is skipped."})";
    std::string longest = "ab";
    while (longest.size() < glyphtint::render::kMaxTextBytes) {
        longest += "^1";
    }
    const std::string input =
        "a\n" + std::string(glyphtint::render::kMaxTextBytes + 1, 'a') + "\n" + longest + "\r\n" + "b";
    const std::string out = (folder_ / "long").string();
    ProgramRun run = RunProgram("glyphtint-render", {"--archive", ArchivePath(), "--batch", out}, input);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    std::vector<std::string> reports = Lines(run.out);
    ASSERT_EQ(reports.size(), 4u) << run.out.substr(0, 1000);
    EXPECT_EQ(reports[1], tooLong);
    EXPECT_NE(reports[2].find(R"("file": ")" + out + "/000003.png"), std::string::npos) << reports[2].substr(0, 200);
    EXPECT_NE(reports[3].find(R"("file": ")" + out + "/000004.png"), std::string::npos) << reports[3];

    const std::filesystem::path zeros = folder_ / "zeros";
    std::ofstream(zeros, std::ios::binary) << "";
    std::filesystem::resize_file(zeros, std::size_t{65} << 20);
    std::ofstream(zeros, std::ios::app) << "\nb\n";
    run = RunProgram(
        "/bin/sh", {"-c", std::string(GLYPHTINT_BIN_DIR) + "/glyphtint-render --archive \"$0\" --batch \"$1\" <\"$2\"",
                    ArchivePath(), out, zeros.string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, std::regex_replace(tooLong, std::regex("\"line\": 2"), "\"line\": 1") + "\n");
    EXPECT_EQ(run.err, "The input is no list of texts: a line runs on past 64 MiB without a line end, and the rest "
                       "of the input is not read.\n");
}

TEST(JsonString, EscapesWhatJsonMustAndKeepsValidUtf8)
{
    const std::pair<std::string, std::string> table[] = {
        {"plain ^1 text", R"("plain ^1 text")"},
        {"\"\\", R"("\"\\")"},
        {std::string("\n\r\t\0\x1F\x7F", 6), R"("\n\r\t\u0000\u001f\u007f")"},
        // Valid UTF-8 stays; a byte that is no part of it is read as Latin-1.
        {"\xC3\xA9\xF0\x9F\x98\x80", "\"\xC3\xA9\xF0\x9F\x98\x80\""},
        {"\xE9\xC3\xFF\xED\xA0\x80", R"("\u00e9\u00c3\u00ff\u00ed\u00a0\u0080")"},
    };
    for (const auto& [bytes, json] : table) {
        EXPECT_EQ(JsonString(bytes), json);
    }
}

// Texts beyond a command line's limit (128 KiB for one argument) come from a file or
// standard input, without the file's final line end.
TEST_F(RenderBatch, TextFromAFileOrStandardInput)
{
    const std::string longText = std::string(300000, 'a') + "^1b";
    const std::filesystem::path file = folder_ / "text.txt";
    std::ofstream(file, std::ios::binary) << longText << "\r\n";
    const std::string info = "bytes: 300003\nvisible: 300001\nnot drawn: 0\ntext: " + std::string(300000, 'a') +
                             "b\ndescribed: " + std::string(300000, 'a') + " in white, b in red\nruns: [{\"text\": \"" +
                             std::string(300000, 'a') + "\", \"colour\": \"#ffffff\"}, " +
                             R"({"text": "b", "colour": "#ff0408"}])" + "\n";

    ProgramRun run = RunProgram("glyphtint-render", {"--info", "--text-file", file.string()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, info);
    run = RunProgram("glyphtint-render", {"--info", "--text-file", "-"}, longText + "\n");
    EXPECT_EQ(run.out, info);

    run = RunProgram("glyphtint-render", {"--info", "--text-file", (folder_ / "none.txt").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "Cannot open file " + (folder_ / "none.txt").string() + ".\n");
    EXPECT_EQ(RunProgram("glyphtint-render", {"--info", "--text-file", file.string(), "abc"}).exitCode, 2);
}

// A styled batch writes what --strip writes with the same options, and names the codes
// --min-contrast changed on the strip's background, or on the framed picture's.
TEST_F(RenderBatch, StyledLinesAreTheStyledStripAndNameTheAdjustedCodes)
{
    const std::filesystem::path out = folder_ / "styled";
    const std::vector<std::string> style = {"--scale", "2", "--background", "#1e1e1e", "--min-contrast", "3"};
    std::vector<std::string> arguments = {"--archive", ArchivePath(), "--batch", out.string()};
    arguments.insert(arguments.end(), style.begin(), style.end());
    const ProgramRun run = RunProgram("glyphtint-render", arguments, "^0a^4b^1a\nab\n");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> reports = Lines(run.out);
    ASSERT_EQ(reports.size(), 2u) << run.out;
    EXPECT_NE(
        reports[0].find(
            R"("text": "aba", "described": "a in grey, b in blue, a in red", "runs": [{"text": "a", "colour": "#6a686a"}, )"
            R"({"text": "b", "colour": "#5050f3"}, {"text": "a", "colour": "#ff0408"}], "adjusted": ["0", "4"]})"),
        std::string::npos)
        << reports[0];
    EXPECT_NE(
        reports[1].find(
            R"("text": "ab", "described": "ab in white", "runs": [{"text": "ab", "colour": "#ffffff"}], "adjusted": []})"),
        std::string::npos)
        << reports[1];

    const std::filesystem::path reference = folder_ / "reference.png";
    std::vector<std::string> single = {"--archive", ArchivePath(), "--strip", reference.string(), "^0a^4b^1a"};
    single.insert(single.end() - 1, style.begin(), style.end());
    ASSERT_EQ(RunProgram("glyphtint-render", single).exitCode, 0);
    EXPECT_EQ(ReadFileBytes(out / "000001.png"), ReadFileBytes(reference));

    // On the framed picture's grey-green, black stands out and blue and red do not.
    const ProgramRun framed = RunProgram(
        "glyphtint-render",
        {"--archive", ArchivePath(), "--framed", "--batch", (folder_ / "framed").string(), "--min-contrast", "3"},
        "^0a^4b^1a\n");
    EXPECT_NE(framed.out.find(R"("adjusted": ["4", "1"]})"), std::string::npos) << framed.out;
}
