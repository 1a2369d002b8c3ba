// What every tool answers alike: --help and --version on standard output with exit code 0,
// a wrong option named on standard error with exit code 2.
#include "tests/support/RunProgram.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using glyphtint::test::ProgramRun;
using glyphtint::test::RunProgram;

namespace {

class ToolCommandLine : public ::testing::TestWithParam<const char*> { };

TEST_P(ToolCommandLine, HelpAndVersionGoToStandardOutput)
{
    const std::string program = GetParam();
    for (const char* help : {"--help", "-h"}) {
        const ProgramRun run = RunProgram(program, {help});
        EXPECT_EQ(run.exitCode, 0) << help;
        EXPECT_EQ(run.out.rfind("usage:", 0), 0u) << run.out;
        EXPECT_NE(run.out.find(program), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("2 wrong usage"), std::string::npos) << "the exit codes are explained";
        EXPECT_EQ(run.err, "");
    }
    const ProgramRun version = RunProgram(program, {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, program + " " + GLYPHTINT_VERSION + "\n");
    EXPECT_EQ(version.err, "");
}

TEST_P(ToolCommandLine, AWrongOptionIsNamed)
{
    const std::string program = GetParam();
    const ProgramRun run = RunProgram(program, {"--frobnicate", "x"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              program + ": unknown option '--frobnicate'\nTry '" + program + " --help' for more information.\n");
}

INSTANTIATE_TEST_SUITE_P(Tools, ToolCommandLine,
                         ::testing::Values("glyphtint-render", "glyphtint-gfx", "glyphtint-make-glyphs"),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::erase(name, '-');
                             return name;
                         });

// After "--" an argument is the text, even when it reads like an option.
TEST(RenderCommandLine, HelpAfterDoubleDashIsTheText)
{
    const ProgramRun run = RunProgram("glyphtint-render", {"--info", "--", "--help"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "bytes: 6\nvisible: 6\nnot drawn: 0\ntext: --help\ndescribed: --help in white\n"
                       R"(runs: [{"text": "--help", "colour": "#ffffff"}])"
                       "\n");
}

TEST(RenderCommandLine, AnOptionWithoutItsValueIsNamed)
{
    const ProgramRun run = RunProgram("glyphtint-render", {"--info", "--strip"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("option '--strip' needs a value"), std::string::npos) << run.err;
}

// Started outside a desktop session (no XDG_RUNTIME_DIR), the tools that draw with Qt give
// themselves a private runtime folder: no "QStandardPaths: XDG_RUNTIME_DIR not set" note on
// the terminal, and no folder left behind.
TEST(ToolsOutsideADesktopSession, SayNothingAboutTheRuntimeFolderAndLeaveNoneBehind)
{
    const glyphtint::test::ScratchFolder scratch("glyphtint-runtime-test");
    const std::string temp = scratch.Path() + "/tmp";
    std::filesystem::create_directory(temp);
    const std::string bin = GLYPHTINT_BIN_DIR;
    const std::vector<std::vector<std::string>> runs = {
        {bin + "/glyphtint-render", "--framed", scratch.Path() + "/m00.jpg", "^1m00"},
        {bin + "/glyphtint-make-glyphs", scratch.Path() + "/pack.gfx"},
    };
    for (const std::vector<std::string>& command : runs) {
        SCOPED_TRACE(command.front());
        std::vector<std::string> arguments = {"-u", "XDG_RUNTIME_DIR", "TMPDIR=" + temp};
        arguments.insert(arguments.end(), command.begin(), command.end());
        const ProgramRun run = RunProgram("/usr/bin/env", arguments);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err.find("XDG_RUNTIME_DIR"), std::string::npos) << run.err;
        EXPECT_TRUE(std::filesystem::is_empty(temp)) << "a runtime folder was left in " << temp;
    }
}

} // namespace
