// Rendering coded text from the shipped glyph archive against decoding its glyphs alone.
#include "archive/ZipArchive.h"
#include "raster/JPEGImage.h"
#include "render/ColourCodes.h"
#include "render/GameProfiles.h"
#include "render/GlyphArchivePath.h"
#include "render/GlyphNames.h"
#include "render/GlyphPack.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

using glyphtint::render::FullGlyphEntryName;
using glyphtint::render::ScanCodedText;
using glyphtint::render::TColourTriple;

namespace {

// A coded text of the given number of drawn characters, a colour code every few.
std::string MixedText(int drawn)
{
    const std::string glyphs = "The quick brown fox jumps over 13 lazy dogs! [m00] {a+b=c} <x/y>";
    const std::string codes = "1234567890abcdefghijklmnopqrstuvwxyz";
    std::string text;
    for (int i = 0; i < drawn; ++i) {
        if (i % 5 == 0) {
            text += '^';
            text += codes[(i / 5) % codes.size()];
        }
        text += glyphs[i % glyphs.size()];
    }
    return text;
}

class ShippedArchive : public benchmark::Fixture {
public:
    void SetUp(const benchmark::State&) override
    {
        archive.FileName = glyphtint::render::GlyphArchivePath();
        archive.Open(0);
        pack.Open(archive.FileName);
    }
    void TearDown(const benchmark::State&) override
    {
        pack.Close();
        archive.Close();
    }

    // The pack renders; the archive gives the same entries to the baselines.
    glyphtint::render::GlyphPack pack;
    TZipArchive archive;
};

BENCHMARK_DEFINE_F(ShippedArchive, RenderText)(benchmark::State& state)
{
    const std::string text = MixedText(static_cast<int>(state.range(0)));
    TPicture picture;
    for (auto _ : state) {
        RenderCodedText(pack, text, picture);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK_REGISTER_F(ShippedArchive, RenderText)->Arg(64)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

// The baseline: the same glyph entries, already extracted, only loaded and decoded.
BENCHMARK_DEFINE_F(ShippedArchive, DecodeGlyphsOnly)(benchmark::State& state)
{
    std::vector<std::string> entries;
    ScanCodedText(MixedText(static_cast<int>(state.range(0))), [&](unsigned char character, TColourTriple) {
        const std::string name = FullGlyphEntryName(character);
        if (!name.empty()) {
            entries.emplace_back();
            archive.ExtractEntryBytes(name, entries.back());
        }
    });
    for (auto _ : state) {
        for (const std::string& bytes : entries) {
            TJPEGImage glyph;
            glyph.LoadJPEG(std::string_view(bytes));
            benchmark::DoNotOptimize(glyph.Bitmap().ScanLine(0));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(entries.size()));
}
BENCHMARK_REGISTER_F(ShippedArchive, DecodeGlyphsOnly)->Arg(64)->Unit(benchmark::kMicrosecond);

// Extraction and decoding without the strip: shows what the composition adds.
BENCHMARK_DEFINE_F(ShippedArchive, ExtractAndDecodeGlyphs)(benchmark::State& state)
{
    std::vector<std::string> names;
    ScanCodedText(MixedText(static_cast<int>(state.range(0))), [&](unsigned char character, TColourTriple) {
        if (std::string name = FullGlyphEntryName(character); !name.empty()) {
            names.push_back(std::move(name));
        }
    });
    std::string bytes;
    for (auto _ : state) {
        for (const std::string& name : names) {
            archive.ExtractEntryBytes(name, bytes);
            TJPEGImage glyph;
            glyph.LoadJPEG(std::string_view(bytes));
            benchmark::DoNotOptimize(glyph.Bitmap().ScanLine(0));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(names.size()));
}
BENCHMARK_REGISTER_F(ShippedArchive, ExtractAndDecodeGlyphs)->Arg(64)->Unit(benchmark::kMicrosecond);

// The scan every reader of a coded text makes, against the baseline of touching each
// byte once.
void ScanText(benchmark::State& state)
{
    const std::string text = MixedText(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::uint32_t sum = 0;
        ScanCodedText(text, [&sum](unsigned char character, TColourTriple colour) { sum += character + colour.Red; });
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(ScanText)->Arg(1000);

// The same scan under a game's rules, whose carets look ahead: Unvanquished's, with hex
// colours, a reset code and drawn stray carets.
void ScanTextUnderGameRules(benchmark::State& state)
{
    const std::string text = MixedText(static_cast<int>(state.range(0)));
    const glyphtint::render::CodeRules& rules = glyphtint::render::FindGameProfile("unvanquished")->rules;
    for (auto _ : state) {
        std::uint32_t sum = 0;
        ScanCodedText(
            text, [&sum](unsigned char character, TColourTriple colour) { sum += character + colour.Red; }, rules);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(ScanTextUnderGameRules)->Arg(1000);

void SumTextBytes(benchmark::State& state)
{
    const std::string text = MixedText(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::uint32_t sum = 0;
        for (const char byte : text) {
            sum += static_cast<unsigned char>(byte);
            benchmark::DoNotOptimize(sum);
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(SumTextBytes)->Arg(1000);

} // namespace

BENCHMARK_MAIN();
