// ExtractEntryBytes on glyph-sized entries against libzip reading the same file in the same run.
#include <benchmark/benchmark.h>
#include <zip.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "archive/ZipArchive.h"

namespace {

const char* const kGlyphs = GLYPHTINT_BENCH_GLYPHS;
const char* const kSmallEntry = "g00.jpg"; // 646 bytes, deflated

std::vector<std::string> EntryNames()
{
    TZipArchive zip;
    zip.FileName = kGlyphs;
    zip.Open(0);
    std::vector<std::string> names;
    for (const TDirItem& item : zip.Directory().Items()) {
        names.push_back(item.Name);
    }
    return names;
}

zip_t* OpenLibzip()
{
    int error = 0;
    zip_t* archive = zip_open(kGlyphs, ZIP_RDONLY, &error);
    if (archive == nullptr) {
        throw std::runtime_error("zip_open failed");
    }
    return archive;
}

void ReadLibzipEntry(zip_t* archive, zip_uint64_t index, std::string& bytes)
{
    zip_stat_t stat;
    zip_stat_index(archive, index, 0, &stat);
    zip_file_t* file = zip_fopen_index(archive, index, 0);
    if (file == nullptr) {
        throw std::runtime_error("zip_fopen_index failed");
    }
    bytes.resize(stat.size);
    const zip_int64_t got = zip_fread(file, bytes.data(), stat.size);
    zip_fclose(file);
    if (got != static_cast<zip_int64_t>(stat.size)) {
        throw std::runtime_error("zip_fread short");
    }
}

// One small deflated entry from an archive that stays open: the per-glyph cost
// of a render. Ours includes the lookup by name, as the renderer calls it.
void BM_Glyphtint_SmallEntry(benchmark::State& state)
{
    TZipArchive zip;
    zip.FileName = kGlyphs;
    zip.Open(0);
    std::string bytes;
    for (auto _ : state) {
        zip.ExtractEntryBytes(kSmallEntry, bytes);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Glyphtint_SmallEntry);

void BM_Libzip_SmallEntry(benchmark::State& state)
{
    zip_t* archive = OpenLibzip();
    std::string bytes;
    for (auto _ : state) {
        const zip_int64_t index = zip_name_locate(archive, kSmallEntry, 0);
        ReadLibzipEntry(archive, static_cast<zip_uint64_t>(index), bytes);
        benchmark::DoNotOptimize(bytes.data());
    }
    zip_discard(archive);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Libzip_SmallEntry);

// Every entry of the open archive; items/s is entries per second.
void BM_Glyphtint_AllEntries(benchmark::State& state)
{
    const std::vector<std::string> names = EntryNames();
    TZipArchive zip;
    zip.FileName = kGlyphs;
    zip.Open(0);
    std::string bytes;
    for (auto _ : state) {
        for (const std::string& name : names) {
            zip.ExtractEntryBytes(name, bytes);
            benchmark::DoNotOptimize(bytes.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(names.size()));
}
BENCHMARK(BM_Glyphtint_AllEntries);

void BM_Libzip_AllEntries(benchmark::State& state)
{
    zip_t* archive = OpenLibzip();
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    std::string bytes;
    for (auto _ : state) {
        for (zip_int64_t i = 0; i < count; ++i) {
            ReadLibzipEntry(archive, static_cast<zip_uint64_t>(i), bytes);
            benchmark::DoNotOptimize(bytes.data());
        }
    }
    zip_discard(archive);
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_Libzip_AllEntries);

// Opening the archive (end record, central directory) and closing it again.
void BM_Glyphtint_OpenClose(benchmark::State& state)
{
    for (auto _ : state) {
        TZipArchive zip;
        zip.FileName = kGlyphs;
        zip.Open(0);
        benchmark::DoNotOptimize(zip.EntryCount());
    }
}
BENCHMARK(BM_Glyphtint_OpenClose);

void BM_Libzip_OpenClose(benchmark::State& state)
{
    for (auto _ : state) {
        zip_t* archive = OpenLibzip();
        benchmark::DoNotOptimize(zip_get_num_entries(archive, 0));
        zip_discard(archive);
    }
}
BENCHMARK(BM_Libzip_OpenClose);

} // namespace

BENCHMARK_MAIN();
