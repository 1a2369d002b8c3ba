// libjpeg inside C++: the error exit, the decode limits, and owners of the library's
// compressor and decompressor objects with their in-memory input and output. Internal to
// the raster library.
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

// Owns one decompressor with its error manager, reading from memory through the library's
// own source (which supplies an end-of-image marker past the end of the data, so a
// truncated file still decodes); destroyed on every path. Create() runs under the error
// exit, since making the object can fail.
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
    ScanLimit scanLimit;
};

// Owns one compressor writing into memory through the library's own destination, and
// the output buffers; destroyed on every path. The output starts in a buffer of ours that
// the library grows by doubling into buffers of its own.
class Compressor {
public:
    Compressor();
    ~Compressor();
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;

    void Create();
    // The compressed bytes, once jpeg_finish_compress has returned.
    std::string Bytes() const;

    jpeg_compress_struct cinfo;
    ErrorManager err;

private:
    unsigned char* first_ = nullptr;  // ours, freed here
    unsigned char* output_ = nullptr; // the library's last word on the output's place
    unsigned long outputSize_ = 0;    // its capacity until the compression ends, then its size
};

} // namespace glyphtint::raster::jpeglib
