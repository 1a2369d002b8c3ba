// glyphtint-gfx as a program: output, exit codes and messages of list and extract.
#include <fstream>
#include <gtest/gtest.h>

#include "tests/archive/ZipTestSupport.h"
#include "tests/support/RunProgram.h"

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
    const std::string expected = ReadFile(FixturePath("src/stored.bin"));
    const ProgramRun toStdout = Gfx({"extract", FixtureCopy("mixed.zip"), "STORED.BIN"});
    EXPECT_EQ(toStdout.exitCode, 0) << toStdout.err;
    EXPECT_EQ(toStdout.out, expected);

    TempDir dir;
    const std::string target = dir.Path() + "/hello.txt";
    const ProgramRun toFile =
        Gfx({"extract", FixtureCopy("encrypted.zip"), "hello.txt", "--password", "secret", "--out", target});
    EXPECT_EQ(toFile.exitCode, 0) << toFile.err;
    EXPECT_EQ(toFile.out, "");
    EXPECT_EQ(ReadFile(target), ReadFile(FixturePath("src/hello.txt")));
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
    EXPECT_EQ(ReadFile(target), "old contents");

    const std::string noFolder = dir.Path() + "/missing/out.txt";
    const ProgramRun unwritable = Gfx({"extract", FixtureCopy("mixed.zip"), "hello.txt", "--out", noFolder});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_EQ(unwritable.err, "Cannot create file " + noFolder + ".\n");
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
        EXPECT_EQ(run.err.rfind("usage:", 0), 0u) << run.err;
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
    {"NoCommand", {}, 2, ""},
    {"UnknownCommand", {"frobnicate", "x"}, 2, ""},
    {"ListWithoutArchive", {"list"}, 2, ""},
    {"ExtractWithoutName", {"extract", FixtureCopy("mixed.zip")}, 2, ""},
    {"OptionWithoutValue", {"extract", FixtureCopy("mixed.zip"), "a", "--out"}, 2, ""},
    {"UnknownOption", {"extract", FixtureCopy("mixed.zip"), "a", "--verbose", "1"}, 2, ""},
};
INSTANTIATE_TEST_SUITE_P(Table, GfxToolFailures, ::testing::ValuesIn(kToolFailures),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
