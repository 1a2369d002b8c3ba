// Output that cannot be written is a failure of every tool that prints a result: a full
// disk, a closed standard output, a reader that went away.
#include "tests/support/ChildProcess.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TestArchives.h"

#include <gtest/gtest.h>

using namespace glyphtint::test;

namespace {

struct Output {
    const char* name;
    const char* path;   // opened read-only, as standard output left closed ends up
    const char* reason; // what the tool says
};

class OutputNotWritten : public ::testing::TestWithParam<Output> { };

// What a run printed on standard error and its exit status, with standard output
// going to the parameter's file and input on standard input.
std::pair<int, std::string> RunInto(const char* outputPath, const std::string& program,
                                    const std::vector<std::string>& arguments, const std::string& input)
{
    Pipe in;
    Pipe err;
    const bool closed = outputPath == nullptr;
    const pid_t child = StartProgram(program, arguments, [&] {
        ::dup2(in.Read(), 0);
        ::dup2(err.Write(), 2);
        if (closed) {
            ::close(1);
        } else {
            ::dup2(::open(outputPath, O_WRONLY), 1);
        }
    });
    in.CloseRead();
    err.CloseWrite();
    WriteAll(in.Write(), input);
    in.CloseWrite();
    std::string messages = ReadToEnd(err.Read());
    return {WaitForExit(child), messages};
}

} // namespace

TEST_P(OutputNotWritten, FailsWithTheReason)
{
    const ScratchFolder scratch("output");
    const std::string pack = (scratch / "glyphs.gfx").string();
    WriteZip(pack, {{"a.jpg", MakeGlyphJpeg(10, 16, 1)}});
    const std::string folder = (scratch / "out").string();
    const struct {
        std::string program;
        std::vector<std::string> arguments;
        std::string input;
    } runs[] = {
        {"glyphtint-render", {"--archive", pack, "--batch", folder}, "a\na\na\n"},
        {"glyphtint-render", {"--info", "abc"}, ""},
        {"glyphtint-render", {"--version"}, ""},
        {"glyphtint-gfx", {"list", pack}, ""},
        {"glyphtint-gfx", {"check", pack}, ""},
        {"glyphtint-gfx", {"extract", pack, "a.jpg"}, ""},
    };
    for (const auto& run : runs) {
        const auto [status, messages] = RunInto(GetParam().path, run.program, run.arguments, run.input);
        EXPECT_EQ(status, 1) << run.program << " " << run.arguments[0];
        // A write that failed inside a stream's buffer may leave no reason to give.
        EXPECT_NE(messages.find("Cannot write to standard output"), std::string::npos)
            << run.program << " " << run.arguments[0] << ": " << messages;
        if (run.arguments[0] == "--archive") {
            EXPECT_EQ(messages, std::string("Cannot write to standard output: ") + GetParam().reason + ".\n");
        }
    }
    // The batch stops at its first report line rather than drawing the rest unseen.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

INSTANTIATE_TEST_SUITE_P(Tools, OutputNotWritten,
                         ::testing::Values(Output{"Full", "/dev/full", "No space left on device"},
                                           Output{"Closed", nullptr, "Bad file descriptor"}),
                         [](const auto& info) { return std::string(info.param.name); });

// `trap '' PIPE; glyphtint-render --batch DIR | head -1`: the reader is gone, so the
// batch stops with the reason instead of drawing all 300 pictures.
TEST(OutputNotWritten, AReaderThatWentAwayStopsTheBatch)
{
    const ScratchFolder scratch("output");
    const std::string pack = (scratch / "glyphs.gfx").string();
    WriteZip(pack, {{"a.jpg", MakeGlyphJpeg(10, 16, 1)}});
    const std::string folder = (scratch / "out").string();
    std::string lines;
    for (int i = 0; i < 300; ++i) {
        lines += "a\n";
    }
    Pipe in, out, err;
    out.CloseRead();
    const pid_t batch = StartProgram("glyphtint-render", {"--archive", pack, "--batch", folder}, [&] {
        ::signal(SIGPIPE, SIG_IGN);
        ::dup2(in.Read(), 0);
        ::dup2(out.Write(), 1);
        ::dup2(err.Write(), 2);
    });
    in.CloseRead();
    out.CloseWrite();
    err.CloseWrite();
    WriteAll(in.Write(), lines);
    in.CloseWrite();
    EXPECT_EQ(ReadToEnd(err.Read()), "Cannot write to standard output: Broken pipe.\n");
    EXPECT_EQ(WaitForExit(batch), 1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}
