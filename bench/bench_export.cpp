// Exporting a rendered text as "Save image..." does, against rendering the same text.
#include "ApplicationBenchmarkMain.h"
#include "raster/JPEGImage.h"
#include "render/FramedImage.h"
#include "render/GlyphArchivePath.h"
#include "render/GlyphPack.h"
#include "tests/support/ScratchFolder.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <string>
#include <string_view>

namespace {

// 64 bytes as a user might type them: words, digits, signs and a colour code now and then.
constexpr std::string_view kTextBytes = "^1The ^2quick brown ^3fox jumps over 13 ^4lazy dogs! [m00] {a+b}";
static_assert(kTextBytes.size() == 64);
const std::string kText(kTextBytes);

class RenderedText : public benchmark::Fixture {
public:
    void SetUp(const benchmark::State&) override
    {
        pack.Open(glyphtint::render::GlyphArchivePath());
        RenderCodedText(pack, kText, strip);
    }
    void TearDown(const benchmark::State&) override { pack.Close(); }

    glyphtint::render::GlyphPack pack;
    TPicture strip;
};

// The baseline: the render a keystroke runs.
BENCHMARK_DEFINE_F(RenderedText, RenderCodedText)(benchmark::State& state)
{
    TPicture picture;
    for (auto _ : state) {
        RenderCodedText(pack, kText, picture);
    }
}
BENCHMARK_REGISTER_F(RenderedText, RenderCodedText)->Unit(benchmark::kMicrosecond);

// The frame and caption alone, as the clipboard copy makes them.
BENCHMARK_DEFINE_F(RenderedText, ComposeFramedImage)(benchmark::State& state)
{
    for (auto _ : state) {
        TPicture framed;
        glyphtint::render::ComposeFramedImage(strip.AsBitmap(), kText, framed);
        benchmark::DoNotOptimize(framed.Graphic());
    }
}
BENCHMARK_REGISTER_F(RenderedText, ComposeFramedImage)->Unit(benchmark::kMicrosecond);

// Frame and JPEG encoding in memory: the export without the file system.
BENCHMARK_DEFINE_F(RenderedText, ComposeAndEncode)(benchmark::State& state)
{
    for (auto _ : state) {
        TPicture framed;
        glyphtint::render::ComposeFramedImage(strip.AsBitmap(), kText, framed);
        TJPEGImage jpeg;
        jpeg.AssignBitmap(framed.AsBitmap());
        benchmark::DoNotOptimize(jpeg.SaveToBytes().size());
    }
}
BENCHMARK_REGISTER_F(RenderedText, ComposeAndEncode)->Unit(benchmark::kMicrosecond);

// The whole save: frame, encode, and the file replaced on disk (written and synced).
BENCHMARK_DEFINE_F(RenderedText, ExportToJpegFile)(benchmark::State& state)
{
    const glyphtint::test::ScratchFolder folder("bench-export");
    const std::string path = (folder / "export.jpg").string();
    for (auto _ : state) {
        TPicture framed;
        glyphtint::render::ComposeFramedImage(strip.AsBitmap(), kText, framed);
        glyphtint::render::SaveFramedImage(framed.AsBitmap(), path);
    }
}
BENCHMARK_REGISTER_F(RenderedText, ExportToJpegFile)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    return glyphtint::bench::RunBenchmarksWithApplication<QGuiApplication>(argc, argv);
}
