// libjpeg glue: error exit through longjmp, memory source and destination, owners.
#include "raster/JPEGLibrary.h"

#include "raster/JPEGImage.h"

#include <jerror.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace glyphtint::raster::jpeglib {

namespace {

// A framed picture of a few names fits; longer ones take a few doublings.
constexpr unsigned long kFirstOutputBuffer = 64 * 1024;

void ErrorExit(j_common_ptr cinfo)
{
    // Only plain memory is touched between here and the landing in RunGuarded; the
    // owners in the calling C++ frames destroy the library object afterwards.
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    err->code = cinfo->err->msg_code;
    std::longjmp(err->jump, 1);
}

void DropMessage(j_common_ptr, int)
{
}
void DropOutput(j_common_ptr)
{
}

void CheckScanCount(j_common_ptr common)
{
    auto* cinfo = reinterpret_cast<j_decompress_ptr>(common);
    const auto* limit = reinterpret_cast<const ScanLimit*>(common->progress);
    const int scans = cinfo->input_scan_number;
    if (scans > limit->maxScans || static_cast<std::uint64_t>(scans) * PictureBlocks(*cinfo) > limit->maxScanBlocks ||
        DecodeWork(*cinfo, scans, limit->arithmeticWeight) > limit->maxWork) {
        ERREXIT(cinfo, JERR_EOI_EXPECTED);
    }
}

} // namespace

jpeg_error_mgr* InitErrorManager(ErrorManager& err)
{
    jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.emit_message = DropMessage;
    err.pub.output_message = DropOutput;
    err.code = 0;
    return &err.pub;
}

// Nothing with a destructor lives in this frame or in the steps it calls: a longjmp
// skips destructors, so the exception is thrown by the caller after we return.
bool RunGuarded(ErrorManager& err, void (*step)(void*), void* context)
{
    if (setjmp(err.jump)) {
        return false;
    }
    step(context);
    return true;
}

void ThrowLibraryError(int code)
{
    throw EJPEG(code);
}

Decompressor::Decompressor()
{
    std::memset(&cinfo, 0, sizeof cinfo);
    std::memset(&scanLimit.pub, 0, sizeof scanLimit.pub);
}

Decompressor::~Decompressor()
{
    // Safe on a half-made object: it only frees what the memory manager holds.
    jpeg_destroy_decompress(&cinfo);
}

std::uint64_t PictureBlocks(const jpeg_decompress_struct& cinfo)
{
    std::uint64_t blocks = 0;
    for (int i = 0; i < cinfo.num_components && cinfo.comp_info != nullptr; ++i) {
        const jpeg_component_info& component = cinfo.comp_info[i];
        blocks += static_cast<std::uint64_t>(component.width_in_blocks) * component.height_in_blocks;
    }
    return blocks;
}

std::uint64_t DecodeWork(const jpeg_decompress_struct& cinfo, int scans, std::uint64_t arithmeticWeight)
{
    const std::uint64_t pixels = std::uint64_t{cinfo.image_width} * cinfo.image_height;
    const std::uint64_t weight = cinfo.arith_code ? arithmeticWeight : 1;
    return pixels * static_cast<std::uint64_t>(std::max(scans, 0)) * weight;
}

void Decompressor::Create(const void* data, std::size_t size, const DecodeLimits& limits)
{
    cinfo.err = InitErrorManager(err);
    const auto* bytes = static_cast<const unsigned char*>(data);
    const auto length = static_cast<unsigned long>(size);
    // The library refuses empty data here (JERR_INPUT_EMPTY), as a read would.
    Guard(err, [this, bytes, length] {
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, bytes, length);
    });
    // Whole-picture buffers past this size would need a backing store, which this
    // build of the library does not have: such a decode fails instead of growing.
    cinfo.mem->max_memory_to_use = static_cast<long>(limits.maxLibraryMemory);
    scanLimit.pub.progress_monitor = CheckScanCount;
    scanLimit.maxScans = limits.maxScans;
    scanLimit.maxScanBlocks = limits.maxScanBlocks;
    scanLimit.maxWork = limits.maxWork;
    scanLimit.arithmeticWeight = limits.arithmeticWeight;
    cinfo.progress = &scanLimit.pub;
}

Compressor::Compressor()
{
    std::memset(&cinfo, 0, sizeof cinfo);
}

Compressor::~Compressor()
{
    jpeg_destroy_compress(&cinfo);
    // After a finished compression the output may lie in a buffer the library grew; a
    // compression that failed after growing leaves that buffer with the library, which
    // does not free it.
    if (output_ != first_) {
        std::free(output_);
    }
    std::free(first_);
}

void Compressor::Create()
{
    cinfo.err = InitErrorManager(err);
    Guard(err, [this] { jpeg_create_compress(&cinfo); });
    first_ = static_cast<unsigned char*>(std::malloc(kFirstOutputBuffer));
    if (first_ == nullptr) {
        ThrowLibraryError(JERR_OUT_OF_MEMORY);
    }
    output_ = first_;
    outputSize_ = kFirstOutputBuffer;
    Guard(err, [this] { jpeg_mem_dest(&cinfo, &output_, &outputSize_); });
}

std::string Compressor::Bytes() const
{
    if (output_ == nullptr) {
        return {};
    }
    return std::string(reinterpret_cast<const char*>(output_), outputSize_);
}

} // namespace glyphtint::raster::jpeglib
