// Names by the hundred: glyphtint-render --batch against the single-name path, in-process
// and as one process per name, for names of 14 to 24 characters, with the PNG encoder
// against Qt's (QImage::save), which wrote the strips before. Compare items_per_second
// (names per second, by the clock: waits for the disk and the child count) of Batch with
// BatchQtEncoder; ProcessPerName with ProcessWithoutDrawing/GfxList, the cost of a process that reads
// the archive and loads no Qt (child_cpu_ms: the child's CPU time, which the other
// builds on a shared machine do not stretch); and bytes_per_name of the two encoders.
#include "ApplicationBenchmarkMain.h"
#include "BenchNames.h"
#include "raster/QtImage.h"
#include "render/CodedTextInfo.h"
#include "render/GlyphArchivePath.h"
#include "render/GlyphPack.h"
#include "pictures/PictureFiles.h"
#include "pictures/RenderPlan.h"
#include "tests/support/ScratchFolder.h"
#include "tools/render/BatchFolder.h"
#include "tools/render/RenderBatch.h"

#include <QGuiApplication>
#include <QIODevice>
#include <QImage>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace {

const std::vector<std::string> kNames = glyphtint::bench::MakeNames(256);

std::string PicturePath(const glyphtint::test::ScratchFolder& folder, std::size_t i)
{
    return (folder / ("name" + std::to_string(i) + ".png")).string();
}

// Runs arguments[0] with standard output on /dev/null and adds the child's CPU time (user
// and system) to cpuSeconds; false when it cannot run or does not exit 0.
bool RunChild(std::vector<std::string> arguments, double& cpuSeconds)
{
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    int status = 0;
    rusage usage{};
    const bool spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!spawned || wait4(child, &status, 0, &usage) != child) {
        return false;
    }
    const auto seconds = [](const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; };
    cpuSeconds += seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void ReportChildCpu(benchmark::State& state, double cpuSeconds)
{
    state.SetItemsProcessed(state.iterations());
    state.counters["child_cpu_ms"] =
        benchmark::Counter(cpuSeconds * 1000 / static_cast<double>(std::max<std::int64_t>(state.iterations(), 1)));
}

// The encoder the strips had before: Qt's PNG writer at the "quality" that gives zlib's
// level 1, reading the bitmap's own pixels lent in Qt's byte order.
class StringSink : public QIODevice {
public:
    explicit StringSink(std::string& bytes) : bytes_(bytes) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        bytes_.append(data, static_cast<std::size_t>(size));
        return size;
    }

private:
    std::string& bytes_;
};

std::string EncodePngWithQt(TBitmap& picture)
{
    std::string png;
    StringSink sink(png);
    bool saved = false;
    glyphtint::raster::LendAsQImage(
        picture, [&](const QImage& image) { saved = !image.isNull() && image.save(&sink, "PNG", 80); });
    if (!saved) {
        throw std::runtime_error("Qt cannot encode the strip as PNG");
    }
    return png;
}

using Encoder = std::string (*)(TBitmap&);

std::string EncodePngWithDeflate(TBitmap& picture)
{
    return glyphtint::pictures::EncodePng(picture, "strip");
}

// The strips of all names, drawn once.
std::vector<std::unique_ptr<TPicture>> DrawAllNames()
{
    glyphtint::render::GlyphPack pack(glyphtint::render::kGlyphBytesPerRender);
    pack.Open(glyphtint::render::GlyphArchivePath());
    std::vector<std::unique_ptr<TPicture>> strips;
    for (const std::string& name : kNames) {
        strips.push_back(std::make_unique<TPicture>());
        RenderCodedText(pack, name, *strips.back());
    }
    return strips;
}

// The encoders alone over the same strips, and the size of what they write.
void EncodeNames(benchmark::State& state, Encoder encode)
{
    const std::vector<std::unique_ptr<TPicture>> strips = DrawAllNames();
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const auto& strip : strips) {
            bytes += encode(strip->AsBitmap()).size();
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(strips.size()));
    state.counters["bytes_per_name"] =
        benchmark::Counter(static_cast<double>(bytes) / static_cast<double>(strips.size()));
}
BENCHMARK_CAPTURE(EncodeNames, Qt, EncodePngWithQt)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(EncodeNames, libdeflate, EncodePngWithDeflate)->Unit(benchmark::kMillisecond);

// What a script does without the batch: one glyphtint-render --strip per name.
void ProcessPerName(benchmark::State& state)
{
    const glyphtint::test::ScratchFolder folder("bench-batch");
    const std::string program = std::string(GLYPHTINT_BIN_DIR) + "/glyphtint-render";
    double cpuSeconds = 0;
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& name = kNames[i % kNames.size()];
        const std::string out = PicturePath(folder, i++ % kNames.size());
        if (!RunChild({program, "--strip", out, "--", name}, cpuSeconds)) {
            state.SkipWithError("glyphtint-render failed");
            break;
        }
    }
    ReportChildCpu(state, cpuSeconds);
}
BENCHMARK(ProcessPerName)->Unit(benchmark::kMillisecond)->UseRealTime();

// A whole process that draws nothing: its cost is the yardstick for ProcessPerName.
// glyphtint-gfx list opens the same archive and prints its entries, with no Qt loaded;
// glyphtint-render --version reads no archive, but the loader maps and binds the Qt
// libraries the program is linked with for its captions.
void ProcessWithoutDrawing(benchmark::State& state, const std::vector<std::string>& command)
{
    double cpuSeconds = 0;
    for (auto _ : state) {
        if (!RunChild(command, cpuSeconds)) {
            state.SkipWithError("the program failed");
            break;
        }
    }
    ReportChildCpu(state, cpuSeconds);
}
BENCHMARK_CAPTURE(ProcessWithoutDrawing, GfxList,
                  {std::string(GLYPHTINT_BIN_DIR) + "/glyphtint-gfx", "list", glyphtint::render::GlyphArchivePath()})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(ProcessWithoutDrawing, RenderVersion,
                  {std::string(GLYPHTINT_BIN_DIR) + "/glyphtint-render", "--version"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

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
        glyphtint::pictures::WritePictureFile(PicturePath(folder, i++ % kNames.size()),
                                              glyphtint::pictures::EncodePng(picture.AsBitmap(), "strip"));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(SingleNamePath)->Unit(benchmark::kMillisecond)->UseRealTime();

// A fresh folder for each run of a batch, as a script gives it; the last run's folder is
// removed outside the timing (replacing 256 files costs the file system more than drawing
// them, the same for either encoder).
class RunFolders {
public:
    explicit RunFolders(benchmark::State& state) : state_(state) { }
    std::string Next()
    {
        if (!last_.empty()) {
            state_.PauseTiming();
            std::filesystem::remove_all(last_);
            state_.ResumeTiming();
        }
        last_ = (scratch_ / ("run" + std::to_string(++runs_))).string();
        return last_;
    }

private:
    benchmark::State& state_;
    const glyphtint::test::ScratchFolder scratch_{"bench-batch"};
    std::string last_;
    int runs_ = 0;
};

// The batch: all 256 names through one open archive into numbered files, one sync.
void Batch(benchmark::State& state)
{
    RunFolders folders(state);
    std::string input;
    for (const std::string& name : kNames) {
        input += name + "\n";
    }
    for (auto _ : state) {
        const glyphtint::tools::BatchOptions options{glyphtint::render::GlyphArchivePath(), folders.Next(), false};
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

// The batch as it was with Qt's encoder: the same steps as RenderBatch for each line (the
// size check, the strip drawn with the glyphs kept, the file written into the held
// folder) and one sync at the end.
void BatchQtEncoder(benchmark::State& state)
{
    RunFolders folders(state);
    for (auto _ : state) {
        glyphtint::tools::BatchFolder out(folders.Next());
        glyphtint::render::GlyphPack pack(glyphtint::render::kGlyphBytesPerRender);
        pack.Open(glyphtint::render::GlyphArchivePath());
        std::size_t line = 0;
        for (const std::string& name : kNames) {
            benchmark::DoNotOptimize(glyphtint::render::DescribeCodedText(name));
            constexpr glyphtint::pictures::PictureKind kStrip[] = {glyphtint::pictures::PictureKind::Strip};
            glyphtint::pictures::Plan(pack, name, kStrip, {}).Require();
            TPicture picture;
            RenderCodedText(pack, name, picture);
            char file[32];
            std::snprintf(file, sizeof file, "%06zu.png", ++line);
            out.Write(file, EncodePngWithQt(picture.AsBitmap()));
        }
        out.Sync();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kNames.size()));
}
BENCHMARK(BatchQtEncoder)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return glyphtint::bench::RunBenchmarksWithApplication<QGuiApplication>(argc, argv);
}
