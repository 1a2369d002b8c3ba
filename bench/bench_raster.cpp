// Tinting a glyph-strip-sized area, and growing a strip one glyph at a time.
#include "raster/Graphics.h"
#include "render/GlyphBackground.h"
#include "render/Tint.h"
#include "tests/support/TintOracle.h"

#include <benchmark/benchmark.h>

#include <random>

using glyphtint::test::OracleTint;

using glyphtint::raster::MakeColor;
using glyphtint::render::TintBitmapArea;

namespace {

constexpr int kAreaWidth = 20;
constexpr int kAreaHeight = 12000;

// Glyph-like content: mostly background, a share of bright pixels of varied means.
std::unique_ptr<TBitmap> MakeArea()
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->ResizeWidth(kAreaWidth);
    bitmap->ResizeHeight(kAreaHeight);
    std::mt19937 random(42);
    for (int y = 0; y < kAreaHeight; ++y) {
        for (int x = 0; x < kAreaWidth; ++x) {
            const bool ink = random() % 3 == 0;
            bitmap->SetPixelAt(x, y,
                               ink ? MakeColor(120 + random() % 136, 120 + random() % 136, 120 + random() % 136)
                                   : glyphtint::render::kGlyphBackgroundColour);
        }
    }
    return bitmap;
}

// Times one tinting of a fresh copy of the area per iteration.
template <class Tint> void TimeTint(benchmark::State& state, Tint tint)
{
    const auto original = MakeArea();
    for (auto _ : state) {
        state.PauseTiming();
        auto area = original->Clone();
        state.ResumeTiming();
        tint(*area, 0, 0, kAreaWidth, kAreaHeight, glyphtint::render::TColourTriple{255, 4, 8});
        benchmark::DoNotOptimize(area->ScanLine(0));
    }
    state.SetItemsProcessed(state.iterations() * kAreaWidth * kAreaHeight);
}

void TintRowDirect(benchmark::State& state)
{
    TimeTint(state, TintBitmapArea);
}
BENCHMARK(TintRowDirect)->Unit(benchmark::kMicrosecond);

void TintPerPixelBaseline(benchmark::State& state)
{
    TimeTint(state, OracleTint);
}
BENCHMARK(TintPerPixelBaseline)->Unit(benchmark::kMicrosecond);

void GrowStripOnce(int steps)
{
    TBitmap strip;
    for (int step = 0; step < steps; ++step) {
        strip.ResizeWidth(strip.Width() + 12);
        strip.ResizeHeight(20);
    }
    benchmark::DoNotOptimize(strip.ScanLine(0));
}

// Widens a 20-pixel-high strip by 12 columns per step, as a render appends glyphs.
void GrowStrip(benchmark::State& state)
{
    // A running program has rendered before: glibc raises its mmap threshold after the
    // first large block is freed, and until then every large block is fresh pages from
    // the kernel. One untimed strip puts the allocator in that steady state.
    GrowStripOnce(2000);
    const int steps = static_cast<int>(state.range(0));
    for (auto _ : state) {
        GrowStripOnce(steps);
    }
    state.SetItemsProcessed(state.iterations() * steps);
}
BENCHMARK(GrowStrip)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
