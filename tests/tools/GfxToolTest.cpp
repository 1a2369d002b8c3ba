// glyphtint-gfx as a program: output, exit codes and messages of list and extract.
#include <fstream>
#include <gtest/gtest.h>

#include "tests/archive/ZipTestSupport.h"
#include "tests/support/RunProgram.h"
#include "render/GfxCheck.h"

#include "archive/ZipArchive.h"

#include <algorithm>

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

using glyphtint::render::CheckGlyphArchive;
using glyphtint::test::ProgramRun;
using glyphtint::test::RunProgram;

namespace {

using namespace ziptest;

ProgramRun Gfx(const std::vector<std::string>& args)
{
    return RunProgram("glyphtint-gfx", args);
}

TEST(GfxTool, ListsEveryEntryInStoredOrder)
{
    const ProgramRun run = Gfx({"list", FixtureCopy("mixed.zip")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "hello.txt\t111\t72\tdeflated\tc2c0c94a\n"
                       "empty.txt\t0\t0\tstored\t00000000\n"
                       "Mixed Case.TXT\t16\t16\tstored\te6f2caf9\n"
                       "sub/\t0\t0\tstored\t00000000\n"
                       "sub/inner.txt\t18\t18\tstored\t3fa75129\n"
                       "stored.bin\t300\t300\tstored\t32ec5e76\n");
}

TEST(GfxTool, ExtractsToStandardOutputOrAFile)
{
    const std::string expected = ReadFileBytes(FixturePath("src/stored.bin"));
    const ProgramRun toStdout = Gfx({"extract", FixtureCopy("mixed.zip"), "STORED.BIN"});
    EXPECT_EQ(toStdout.exitCode, 0) << toStdout.err;
    EXPECT_EQ(toStdout.out, expected);

    TempDir dir;
    const std::string target = dir.Path() + "/hello.txt";
    const ProgramRun toFile =
        Gfx({"extract", FixtureCopy("encrypted.zip"), "hello.txt", "--password", "secret", "--out", target});
    EXPECT_EQ(toFile.exitCode, 0) << toFile.err;
    EXPECT_EQ(toFile.out, "");
    EXPECT_EQ(ReadFileBytes(target), ReadFileBytes(FixturePath("src/hello.txt")));
}

TEST(GfxTool, OutputFileIsReplacedOnlyBySuccess)
{
    TempDir dir;
    const std::string target = dir.Path() + "/kept.txt";
    {
        std::ofstream(target) << "old contents";
    }
    const ProgramRun missing = Gfx({"extract", FixtureCopy("mixed.zip"), "no-such-entry", "--out", target});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(ReadFileBytes(target), "old contents");

    const std::string noFolder = dir.Path() + "/missing/out.txt";
    const ProgramRun unwritable = Gfx({"extract", FixtureCopy("mixed.zip"), "hello.txt", "--out", noFolder});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_EQ(unwritable.err, "Cannot create file " + noFolder + ".\n");
}

// A hand-made archive written once per test process, for the failure table.
std::string Crafted(const std::string& name, const std::vector<Entry>& entries)
{
    static const TempDir folder("gfxtool");
    return folder.Write(name, BuildZip(entries).bytes);
}

Entry WithMethod(uint16_t method)
{
    Entry e = Stored("e", "entry data");
    e.method = method;
    return e;
}

Entry WithWrongCrc()
{
    Entry e = Stored("e", "entry data");
    e.crc ^= 1;
    return e;
}

Entry DeclaringATebibyte()
{
    Entry e = Deflated("big", "small");
    e.uncompressedSize = 0xFFFFFFFF;
    Put16(e.centralExtra, 1);
    Put16(e.centralExtra, 8);
    Put64(e.centralExtra, uint64_t{1} << 40);
    return e;
}

struct ToolFailure {
    const char* label;
    std::vector<std::string> args;
    int exitCode;
    std::string err;
};

class GfxToolFailures : public ::testing::TestWithParam<ToolFailure> { };

TEST_P(GfxToolFailures, PrintTheMessageAsTheWindowShowsIt)
{
    const ProgramRun run = Gfx(GetParam().args);
    EXPECT_EQ(run.exitCode, GetParam().exitCode);
    EXPECT_EQ(run.out, "");
    if (GetParam().exitCode == 2) {
        // Wrong usage says what is wrong and where to read how it is right.
        EXPECT_EQ(run.err, "glyphtint-gfx: " + GetParam().err + "\nTry 'glyphtint-gfx --help' for more information.\n");
    } else {
        EXPECT_EQ(run.err, GetParam().err);
    }
}

const ToolFailure kToolFailures[] = {
    {"MissingEntry",
     {"extract", FixtureCopy("mixed.zip"), "nope.jpg"},
     1,
     "ZipArchive1: File \"nope.jpg\" not found - Native error: 00015.\n"},
    {"MissingArchive",
     {"list", "/no/such/glyphtint.gfx"},
     1,
     "ZipArchive1: File \"/no/such/glyphtint.gfx\" not found - Native error: 00012.\n"},
    {"NotAnArchive",
     {"list", FixtureCopy("src/hello.txt")},
     1,
     "ZipArchive1: Archive is damaged. Open failed - Native error: 00048.\n"},
    {"NoPassword",
     {"extract", FixtureCopy("encrypted.zip"), "hello.txt"},
     1,
     "\"hello.txt\" is encrypted: give --password.\n"},
    {"WrongPassword",
     {"extract", FixtureCopy("encrypted.zip"), "hello.txt", "--password", "guess"},
     1,
     "Wrong password for \"hello.txt\"\n"},
    {"UnsupportedMethod",
     {"extract", Crafted("method.zip", {WithMethod(12)}), "e"},
     1,
     "\"e\": compression method 12 is not supported (ZipArchive1: Invalid size or check sum of file - Native "
     "error: 00008)\n"},
    {"DamagedData",
     {"extract", Crafted("crc.zip", {WithWrongCrc()}), "E"},
     1,
     "\"E\": the data are damaged (ZipArchive1: Invalid size or check sum of file - Native error: 00008)\n"},
    {"LargerThanExtractTakes",
     {"extract", Crafted("big.zip", {DeclaringATebibyte()}), "big"},
     1,
     "Entry \"big\" is too large (1099511627776 bytes; at most 67108864 are read)\n"},
    {"NoCommand", {}, 2, "no command given: list, extract or check"},
    {"UnknownCommand", {"frobnicate", "x"}, 2, "unknown command 'frobnicate'"},
    {"OptionForACommand", {"--list", "x"}, 2, "unknown option '--list'"},
    {"ListWithoutArchive", {"list"}, 2, "usage: glyphtint-gfx list ARCHIVE"},
    {"ExtractWithoutName",
     {"extract", FixtureCopy("mixed.zip")},
     2,
     "usage: glyphtint-gfx extract ARCHIVE NAME [--password P] [--out FILE]"},
    {"OptionWithoutValue", {"extract", FixtureCopy("mixed.zip"), "a", "--out"}, 2, "option '--out' needs a value"},
    {"UnknownOption", {"extract", FixtureCopy("mixed.zip"), "a", "--verbose", "1"}, 2, "unknown option '--verbose'"},
};
INSTANTIATE_TEST_SUITE_P(Table, GfxToolFailures, ::testing::ValuesIn(kToolFailures),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(GfxTool, ListPrintsControlBytesEscaped)
{
    const std::string path =
        Crafted("names.zip", {Stored("esc\x1b[2J", "1"), Stored("fake\nline\t1", "2"), Stored("back\\slash\x7f", "3")});
    const ProgramRun run = Gfx({"list", path});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "esc\\x1b[2J\t1\t1\tstored\t83dcefb7\n"
                       "fake\\x0aline\\x091\t1\t1\tstored\t1ad5be0d\n"
                       "back/slash\\x7f\t1\t1\tstored\t6dd28e9b\n");
}

TEST(GfxTool, AWrongPasswordThatPassesTheCheckByteIsNamed)
{
    const Entry entry = Encrypted("secret.txt", "entry data, deflated and encrypted", "right");
    // About one password in 256 turns the header's last byte into the check byte.
    std::string lucky;
    for (int i = 0; lucky.empty() && i < 100000; ++i) {
        Bytes header(entry.data.begin(), entry.data.begin() + 12);
        const std::string candidate = "guess" + std::to_string(i);
        glyphtint::archive::PkwareKeys(candidate).Decrypt(header);
        if (header[11] == static_cast<uint8_t>(entry.crc >> 24)) {
            lucky = candidate;
        }
    }
    ASSERT_FALSE(lucky.empty());
    const ProgramRun run = Gfx({"extract", Crafted("lucky.zip", {entry}), "secret.txt", "--password", lucky});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "\"secret.txt\": encrypted, and the password is wrong or the data are damaged "
                       "(ZipArchive1: Invalid size or check sum of file - Native error: 00008)\n");
}

TEST(GfxTool, AnArchiveHeldForWritingSaysSoAndOneBeingReadIsShared)
{
    TZipArchive holder;
    holder.FileName = Crafted("locked.zip", {Stored("a", "x")});
    holder.Open(0);
    EXPECT_EQ(Gfx({"list", holder.FileName}).exitCode, 0) << "a reader shares the archive";
    holder.Open(2);
    const ProgramRun run = Gfx({"list", holder.FileName});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "Cannot open file " + holder.FileName + ": locked by another program.\n");
}

TEST(GlyphCheck, NamesEncryptedAndUnsupportedGlyphs)
{
    Entry encrypted = Stored("a.jpg", "not really encrypted");
    encrypted.flags = 1;
    Entry packed = Stored("b.jpg", "imploded");
    packed.method = 6;
    const std::vector<std::string> problems = CheckGlyphArchive(Crafted("pack.gfx", {encrypted, packed}));
    EXPECT_NE(std::find(problems.begin(), problems.end(),
                        "a.jpg: encrypted, so the program would ask for a password to draw it"),
              problems.end());
    EXPECT_NE(std::find(problems.begin(), problems.end(), "b.jpg: compression method 6 is not supported"),
              problems.end());
}

} // namespace

namespace {

// The program run with a terminal as its standard input, output and error, as a person
// starts it: the exit code and what the terminal showed (both outputs, lines ending in
// CR LF as the terminal writes them).
ProgramRun RunOnTerminal(const std::vector<std::string>& args)
{
    std::vector<std::string> command = {std::string(GLYPHTINT_BIN_DIR) + "/glyphtint-gfx"};
    command.insert(command.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& argument : command) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    ProgramRun run;
    if (child < 0) {
        return run;
    }
    char buffer[4096];
    for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;) {
        run.out.append(buffer, static_cast<std::size_t>(n));
    }
    close(terminal);
    int status = 0;
    waitpid(child, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(GfxTool, ExtractRefusesToWriteJpegBytesOntoATerminal)
{
    const std::string archive = std::string(GLYPHTINT_BIN_DIR) + "/glyphtint.gfx";
    const ProgramRun run = RunOnTerminal({"extract", archive, "AA.jpg"});
    EXPECT_EQ(run.exitCode, 2) << run.out;
    EXPECT_NE(run.out.find("terminal"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("--out FILE"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("redirect standard output"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("\xFF\xD8"), std::string::npos) << "no JPEG bytes reached the terminal";
    // Redirected or with --out, the bytes are written as before.
    const ProgramRun piped = Gfx({"extract", archive, "AA.jpg"});
    EXPECT_EQ(piped.exitCode, 0) << piped.err;
    EXPECT_EQ(piped.out.rfind("\xFF\xD8", 0), 0u);
}

TEST(GfxTool, ListShowsEachGlyphsCharacterOnATerminalAndPlainFieldsToScripts)
{
    const std::string archive = std::string(GLYPHTINT_BIN_DIR) + "/glyphtint.gfx";
    const ProgramRun shown = RunOnTerminal({"list", archive});
    EXPECT_EQ(shown.exitCode, 0) << shown.out;
    EXPECT_EQ(shown.out.rfind("name\tcharacter\tsize\tcompressed\tmethod\tcrc32\r\n", 0), 0u) << shown.out;
    for (const char* line : {"\r\nu1.jpg\t!\t", "\r\nmark.jpg\t'\t", "\r\ncurveopen.jpg\t{\t", "\r\nspc.jpg\tspace\t",
                             "\r\nAA.jpg\tA\t", "\r\na.jpg\ta\t"}) {
        EXPECT_NE(shown.out.find(line), std::string::npos) << line;
    }

    const ProgramRun plain = Gfx({"list", archive});
    EXPECT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_EQ(std::count(plain.out.begin(), plain.out.end(), '\n'), 89);
    EXPECT_EQ(plain.out.find("name\t"), std::string::npos) << "no header for scripts";
    const std::string first = plain.out.substr(0, plain.out.find('\n'));
    EXPECT_EQ(std::count(first.begin(), first.end(), '\t'), 4) << first;
    // An entry that is no glyph has no character.
    const ProgramRun other = RunOnTerminal({"list", FixtureCopy("mixed.zip")});
    EXPECT_NE(other.out.find("\r\nhello.txt\t(none)\t111\t72\tdeflated\tc2c0c94a\r\n"), std::string::npos) << other.out;
}

} // namespace
