// Names by the hundred: glyphtint-render --batch against the single-name path, in-process
// and as one process per name, for names of 14 to 24 characters. Compare items_per_second
// (names per second, by the clock: waits for the disk and the child count) with
// ProcessPerName, the baseline.
#include "ApplicationBenchmarkMain.h"
#include "render/GlyphArchivePath.h"
#include "render/GlyphPack.h"
#include "tests/support/ScratchFolder.h"
#include "tools/PictureFiles.h"
#include "tools/RenderBatch.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

// Names as players make them: letters, digits, a few signs, a colour code now and then.
std::vector<std::string> MakeNames(std::size_t count)
{
    constexpr std::string_view kCharacters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 _-.!";
    constexpr std::string_view kCodes = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::uint32_t seed = 16;
    const auto next = [&seed](std::uint32_t below) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % below;
    };
    std::vector<std::string> names;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t length = 14 + next(11);
        std::string name;
        while (name.size() < length) {
            if (next(100) < 15 && name.size() + 2 < length) {
                name += '^';
                name += kCodes[next(kCodes.size())];
            } else {
                name += kCharacters[next(kCharacters.size())];
            }
        }
        names.push_back(name);
    }
    return names;
}

const std::vector<std::string> kNames = MakeNames(256);

std::string PicturePath(const glyphtint::test::ScratchFolder& folder, std::size_t i)
{
    return (folder / ("name" + std::to_string(i) + ".png")).string();
}

// The baseline: what a script does today, one glyphtint-render --strip per name.
void ProcessPerName(benchmark::State& state)
{
    const glyphtint::test::ScratchFolder folder("bench-batch");
    const std::string program = std::string(GLYPHTINT_BIN_DIR) + "/glyphtint-render";
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& name = kNames[i % kNames.size()];
        std::string out = PicturePath(folder, i++ % kNames.size());
        std::vector<std::string> arguments = {program, "--strip", out, "--", name};
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        pid_t child = 0;
        int status = 0;
        if (posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0 ||
            waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("glyphtint-render failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ProcessPerName)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same work without the process: open the archive, render, write the PNG file
// (written and synced, as --strip does).
void SingleNamePath(benchmark::State& state)
{
    const glyphtint::test::ScratchFolder folder("bench-batch");
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& name = kNames[i % kNames.size()];
        glyphtint::render::GlyphPack pack;
        pack.Open(glyphtint::render::GlyphArchivePath());
        TPicture picture;
        RenderCodedText(pack, name, picture);
        glyphtint::tools::WritePng(picture.AsBitmap(), PicturePath(folder, i++ % kNames.size()), "strip");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(SingleNamePath)->Unit(benchmark::kMillisecond)->UseRealTime();

// The batch: all 256 names through one open archive into numbered files, one sync.
void Batch(benchmark::State& state)
{
    const glyphtint::test::ScratchFolder folder("bench-batch");
    std::string input;
    for (const std::string& name : kNames) {
        input += name + "\n";
    }
    const glyphtint::tools::BatchOptions options{glyphtint::render::GlyphArchivePath(), folder.Path(), false};
    for (auto _ : state) {
        std::istringstream lines(input);
        std::string report;
        const auto keep = [&report](std::string_view line) { report += line; };
        if (!glyphtint::tools::RenderBatch(options, lines, keep)) {
            state.SkipWithError("a batch line failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kNames.size()));
}
BENCHMARK(Batch)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return glyphtint::bench::RunBenchmarksWithApplication<QGuiApplication>(argc, argv);
}
