// libjpeg glue: error exit through longjmp, memory source and destination, owners.
#include "raster/JPEGLibrary.h"

#include "raster/JPEGImage.h"

#include <jerror.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace glyphtint::raster::jpeglib {

namespace {

constexpr std::size_t kReadChunk = 4096;
constexpr std::size_t kFirstOutputBuffer = 4096;

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

void InitSource(j_decompress_ptr)
{
}

boolean FillInputBuffer(j_decompress_ptr cinfo)
{
    auto* src = reinterpret_cast<MemorySource*>(cinfo->src);
    const std::size_t left = src->size - src->offset;
    if (left == 0) {
        if (src->startOfFile) {
            ERREXIT(cinfo, JERR_INPUT_EMPTY);
        }
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->eoi[0] = 0xFF;
        src->eoi[1] = JPEG_EOI;
        src->pub.next_input_byte = src->eoi;
        src->pub.bytes_in_buffer = 2;
        return TRUE;
    }
    const std::size_t chunk = std::min(left, kReadChunk);
    src->pub.next_input_byte = src->data + src->offset;
    src->pub.bytes_in_buffer = chunk;
    src->offset += chunk;
    src->startOfFile = false;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count)
{
    auto* src = reinterpret_cast<MemorySource*>(cinfo->src);
    if (count <= 0) {
        return;
    }
    auto remaining = static_cast<std::size_t>(count);
    if (remaining <= src->pub.bytes_in_buffer) {
        src->pub.next_input_byte += remaining;
        src->pub.bytes_in_buffer -= remaining;
        return;
    }
    // Skip within the memory block directly; past its end the next fill supplies
    // the end-of-image marker.
    remaining -= src->pub.bytes_in_buffer;
    src->offset += std::min(remaining, src->size - src->offset);
    src->pub.next_input_byte = nullptr;
    src->pub.bytes_in_buffer = 0;
}

void TermSource(j_decompress_ptr)
{
}

void InitDestination(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    if (dest->buffer == nullptr) {
        dest->buffer = static_cast<JOCTET*>(std::malloc(kFirstOutputBuffer));
        if (dest->buffer == nullptr) {
            ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
        }
        dest->capacity = kFirstOutputBuffer;
    }
    dest->used = 0;
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = dest->capacity;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo)
{
    // Called with the whole buffer full.
    auto* dest = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    const std::size_t grown = dest->capacity * 2;
    if (grown < dest->capacity) {
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 1);
    }
    auto* buffer = static_cast<JOCTET*>(std::realloc(dest->buffer, grown));
    if (buffer == nullptr) {
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 1);
    }
    dest->pub.next_output_byte = buffer + dest->capacity;
    dest->pub.free_in_buffer = grown - dest->capacity;
    dest->buffer = buffer;
    dest->capacity = grown;
    return TRUE;
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

void TermDestination(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    dest->used = dest->capacity - dest->pub.free_in_buffer;
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

void InitMemorySource(MemorySource& src, const void* data, std::size_t size)
{
    src.pub.init_source = InitSource;
    src.pub.fill_input_buffer = FillInputBuffer;
    src.pub.skip_input_data = SkipInputData;
    src.pub.resync_to_restart = jpeg_resync_to_restart;
    src.pub.term_source = TermSource;
    src.pub.next_input_byte = nullptr;
    src.pub.bytes_in_buffer = 0;
    src.data = static_cast<const JOCTET*>(data);
    src.size = size;
    src.offset = 0;
    src.startOfFile = true;
}

MemoryDestination::~MemoryDestination()
{
    std::free(buffer);
}

void InitMemoryDestination(MemoryDestination& dest)
{
    dest.pub.init_destination = InitDestination;
    dest.pub.empty_output_buffer = EmptyOutputBuffer;
    dest.pub.term_destination = TermDestination;
    dest.pub.next_output_byte = nullptr;
    dest.pub.free_in_buffer = 0;
}

Decompressor::Decompressor()
{
    std::memset(&cinfo, 0, sizeof cinfo);
    std::memset(&src.pub, 0, sizeof src.pub);
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
    Guard(err, [this] { jpeg_create_decompress(&cinfo); });
    InitMemorySource(src, data, size);
    cinfo.src = &src.pub;
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
    std::memset(&dest.pub, 0, sizeof dest.pub);
}

Compressor::~Compressor()
{
    jpeg_destroy_compress(&cinfo);
}

void Compressor::Create()
{
    cinfo.err = InitErrorManager(err);
    Guard(err, [this] { jpeg_create_compress(&cinfo); });
    InitMemoryDestination(dest);
    cinfo.dest = &dest.pub;
}

std::string Compressor::Bytes() const
{
    if (dest.buffer == nullptr) {
        return {};
    }
    return std::string(reinterpret_cast<const char*>(dest.buffer), dest.used);
}

} // namespace glyphtint::raster::jpeglib
