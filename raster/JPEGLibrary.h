// libjpeg inside C++: the error exit, memory source and destination, and owners of
// the library's compressor and decompressor objects. Internal to the raster library.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <string>
#include <type_traits>

#include <jpeglib.h>

namespace glyphtint::raster::jpeglib {

// Error manager whose error exit jumps back to the guarded call that is running.
// Warnings and trace messages are dropped, so damaged data decodes as far as it goes.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    int code = 0;
};

// Installs the error exit and silences messages; returns the library's view of it.
jpeg_error_mgr* InitErrorManager(ErrorManager& err);

// Runs step(context) so that a fatal library error lands back here instead of ending
// the process. Returns false when the error exit was taken; err.code holds its code.
bool RunGuarded(ErrorManager& err, void (*step)(void*), void* context);

// Thrown by Guard: the library's numeric message code of the fatal error.
[[noreturn]] void ThrowLibraryError(int code);

// Runs a library step under the error exit and raises EJPEG after the jump landed.
// The step is left by longjmp, so nothing in it may need destruction: it should only
// call the library and touch plain memory. The lambda itself must capture by
// reference or by plain value.
template <class Step> void Guard(ErrorManager& err, Step&& step)
{
    using StepType = std::remove_reference_t<Step>;
    static_assert(std::is_trivially_destructible_v<StepType>,
                  "a guarded step is left by longjmp and must not own anything");
    auto thunk = [](void* context) { (*static_cast<StepType*>(context))(); };
    if (!RunGuarded(err, thunk, &step)) {
        ThrowLibraryError(err.code);
    }
}

// Reads compressed bytes from memory, handing the library at most 4096 bytes per
// fill. At the end of the data it supplies an end-of-image marker, as libjpeg's own
// file source does, so a truncated file still decodes.
struct MemorySource {
    jpeg_source_mgr pub;
    const JOCTET* data = nullptr;
    std::size_t size = 0;
    std::size_t offset = 0;
    bool startOfFile = true;
    JOCTET eoi[2];
};

void InitMemorySource(MemorySource& src, const void* data, std::size_t size);

// Collects compressed output in a malloc'd buffer that grows by doubling. Growth
// failure is reported through the library's error exit; no C++ exception may cross
// the library's frames.
struct MemoryDestination {
    jpeg_destination_mgr pub;
    JOCTET* buffer = nullptr;
    std::size_t capacity = 0;
    std::size_t used = 0; // valid after term_destination
    MemoryDestination() = default;
    MemoryDestination(const MemoryDestination&) = delete;
    MemoryDestination& operator=(const MemoryDestination&) = delete;
    ~MemoryDestination();
};

void InitMemoryDestination(MemoryDestination& dest);

// Ends a decode whose scans would cost unbounded time: the library calls the monitor
// at every scan start and every row of blocks, and it fails the decode with
// JERR_EOI_EXPECTED ("more scans than expected") once the scan count passes maxScans,
// scans times the picture's blocks pass maxScanBlocks, or the decode's work passes
// maxWork (see DecodeWork).
struct ScanLimit {
    jpeg_progress_mgr pub;
    int maxScans = 0;
    std::uint64_t maxScanBlocks = 0;
    std::uint64_t maxWork = 0;
    std::uint64_t arithmeticWeight = 1;
};

// Limits of one decode, set before the header is read.
struct DecodeLimits {
    std::size_t maxLibraryMemory = 0; // bytes of whole-picture buffers in the library
    int maxScans = 0;
    std::uint64_t maxScanBlocks = 0;
    std::uint64_t maxWork = 0;          // pixels times scans begun, weighted as below
    std::uint64_t arithmeticWeight = 1; // what an arithmetic-coded scan counts for
};

// The work of a decode that has begun scans scans: the picture's pixels times the
// scans, times weight for an arithmetic-coded file, whose scans decode many times more
// slowly than Huffman-coded ones.
std::uint64_t DecodeWork(const jpeg_decompress_struct& cinfo, int scans, std::uint64_t arithmeticWeight);

// The 8x8 blocks of every component of the picture whose header has been read.
std::uint64_t PictureBlocks(const jpeg_decompress_struct& cinfo);

// Owns one decompressor with its error manager and memory source; destroyed on every
// path. Create() runs under the error exit, since making the object can fail.
class Decompressor {
public:
    Decompressor();
    ~Decompressor();
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    // Creates the library object reading the given bytes (which must outlive it),
    // bounded by the limits.
    void Create(const void* data, std::size_t size, const DecodeLimits& limits);

    jpeg_decompress_struct cinfo;
    ErrorManager err;
    MemorySource src;
    ScanLimit scanLimit;
};

// Owns one compressor writing into memory; destroyed on every path.
class Compressor {
public:
    Compressor();
    ~Compressor();
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;

    void Create();
    // The compressed bytes written so far (complete after jpeg_finish_compress).
    std::string Bytes() const;

    jpeg_compress_struct cinfo;
    ErrorManager err;
    MemoryDestination dest;
};

} // namespace glyphtint::raster::jpeglib
