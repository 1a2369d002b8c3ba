// Extracting one entry to memory: local header, stored/deflated decoding, decryption and checks.
#include <algorithm>
#include <limits>
#include <vector>

#include <zlib.h>

#include "archive/ByteReader.h"
#include "archive/PkwareCipher.h"
#include "io/StreamError.h"
#include "archive/ZipBaseArchiver.h"
#include "archive/ZipException.h"
#include "archive/ZipMessages.h"
#include "archive/ZlibInflate.h"

using namespace glyphtint::archive;

namespace {

// Room zlib's inflate needs behind its output to take its fast decoding path.
constexpr size_t kInflateFastRoom = 258;
// Compressed data are read in chunks of at most this many bytes.
constexpr uint64_t kChunkCapacity = 1048576;
// Two bytes in front of raw deflate data make it a zlib stream with a 32 KiB
// window and no preset dictionary.
constexpr uint8_t kZlibPrefix[2] = {0x78, 0x01};

// Makes room for need more bytes after the first used bytes of out, growing
// geometrically but never past limit (unless need itself reaches past it).
// The new buffer is reserved at its exact size, so memory follows the limit.
void EnsureRoom(std::string& out, size_t used, size_t need, size_t limit)
{
    if (out.size() - used >= need) {
        return;
    }
    constexpr size_t kFirstSize = 65536;
    const size_t geometric = std::min(limit, std::max(out.size() * 2, kFirstSize));
    const size_t newSize = std::max(used + need, geometric);
    std::string bigger;
    bigger.reserve(newSize);
    bigger.assign(out.data(), used);
    bigger.resize(newSize);
    out.swap(bigger);
}

size_t ToSize(uint64_t value)
{
    return static_cast<size_t>(std::min<uint64_t>(value, std::numeric_limits<size_t>::max()));
}

// The bytes of one entry's data in the file, and how far its output may grow.
struct EntryData {
    const glyphtint::io::FileStream& file;
    uint64_t position;   // first data byte, past any encryption header
    uint64_t compressed; // bytes to read, without the encryption header
    uint64_t declared;   // the central header's uncompressed size
    // Output never grows past one byte more than the declared size: that byte
    // already proves the entry wrong, so a deflate bomb stops there.
    size_t Limit() const { return ToSize(declared == std::numeric_limits<uint64_t>::max() ? declared : declared + 1); }
    // Data that run past the end of the file fail at the first chunk that is
    // cut short; buffers are never made larger than what the file still holds.
    uint64_t Available() const { return file.Size() > position ? file.Size() - position : 0; }
};

// Stored data: copied chunk by chunk, decrypted in place. False when the data
// run past the end of the file or past the output limit.
bool CopyStored(const EntryData& entry, std::optional<PkwareKeys>& keys, std::string& out)
{
    const size_t limit = entry.Limit();
    const uint64_t available = entry.Available();
    size_t produced = 0;
    uint64_t read = 0;
    while (read < entry.compressed) {
        const size_t length = ToSize(std::min(kChunkCapacity, entry.compressed - read));
        const size_t take = ToSize(std::min<uint64_t>({length, limit - produced, available - read}));
        EnsureRoom(out, produced, take, limit);
        const std::span<uint8_t> target(reinterpret_cast<uint8_t*>(out.data()) + produced, take);
        const size_t got = entry.file.ReadAt(entry.position + read, target);
        if (keys) {
            keys->Decrypt(target.first(got));
        }
        produced += got;
        if (got < length) {
            out.resize(produced);
            return false;
        }
        read += length;
    }
    out.resize(produced);
    return true;
}

// Deflated data: read in chunks behind a zlib prefix and inflated. False when
// zlib reports an error, the data run past the end of the file, or the output
// passes the declared size.
bool InflateDeflated(const EntryData& entry, std::optional<PkwareKeys>& keys, std::string& out)
{
    InflateStream inflater;
    if (!inflater.Ok()) {
        return false;
    }
    // inflate returns at every block boundary, so that the blocks can be counted.
    const uint64_t maxBlocks = zipfmt::MaxDeflateBlocks(entry.declared);
    uint64_t blocks = 0;
    const size_t limit = entry.Limit();
    const uint64_t available = entry.Available();
    z_stream& z = inflater.Get();
    std::vector<uint8_t> input(ToSize(std::min({kChunkCapacity, entry.compressed, available})) + sizeof kZlibPrefix);
    std::copy(std::begin(kZlibPrefix), std::end(kZlibPrefix), input.begin());
    size_t produced = 0;
    uint64_t read = 0;
    while (read < entry.compressed) {
        const size_t length = ToSize(std::min(kChunkCapacity, entry.compressed - read));
        // The first chunk goes behind the zlib prefix; later chunks start at 0.
        const size_t lead = read == 0 ? sizeof kZlibPrefix : 0;
        const std::span<uint8_t> chunk = std::span<uint8_t>(input).subspan(lead, std::min(length, input.size() - lead));
        if (length > available - read || entry.file.ReadAt(entry.position + read, chunk) < length) {
            out.resize(produced);
            return false;
        }
        if (keys) {
            keys->Decrypt(chunk);
        }
        z.next_in = input.data();
        z.avail_in = static_cast<uInt>(length + lead);
        while (z.avail_in > 0) {
            // zlib decodes at full speed only while it has kInflateFastRoom bytes of
            // room, so the buffer reaches that far past the limit; output beyond the
            // limit is cut off and fails the entry.
            EnsureRoom(out, produced, 1, limit + std::min(kInflateFastRoom, SIZE_MAX - limit));
            const size_t room = std::min<size_t>(out.size() - produced, std::numeric_limits<uInt>::max());
            z.next_out = reinterpret_cast<Bytef*>(out.data()) + produced;
            z.avail_out = static_cast<uInt>(room);
            const int rc = inflate(&z, Z_BLOCK);
            produced += room - z.avail_out;
            // Bit 7: inflate stopped at the end of a block (or of the stream header).
            if ((z.data_type & 128) != 0 && ++blocks > maxBlocks) {
                out.resize(produced);
                return false; // far more blocks than the data need: a work bomb
            }
            if (produced > entry.declared) {
                out.resize(limit);
                return false; // more output than declared: the entry is certain to fail
            }
            if (rc < 0) {
                out.resize(produced);
                return false;
            }
            if (rc == Z_STREAM_END) {
                // Data after a complete stream and its matching trailer are ignored.
                out.resize(produced);
                return true;
            }
        }
        read += length;
    }
    out.resize(produced);
    return true;
}

} // namespace

void TZipBaseArchiver::ExtractEntryBytes(const std::string& entryName, std::string& bytes)
{
    ExtractEntryBytesUpTo(entryName, bytes, std::numeric_limits<uint64_t>::max());
}

void TZipBaseArchiver::ExtractEntryBytesUpTo(const std::string& entryName, std::string& bytes, uint64_t maxBytes)
{
    RequireOpen();
    const int32_t index = FindEntry(entryName);
    if (index < 0) {
        throw EZipException(kNativeNotFound, name_, {entryName});
    }
    const TDirItem& item = directory_->Items().At(index);
    if (item.UncompressedSize() > maxBytes) {
        throw EZipEntryTooLarge(entryName, item.UncompressedSize(), maxBytes, false);
    }
    // Deflate adds at most 5 bytes per 16 KiB block to data that do not shrink;
    // encryption adds its 12-byte header.
    // The bound saturates, so that no limit wraps round to a small one.
    const uint64_t slack = maxBytes / 1024 + 1024;
    const uint64_t compressedBound = maxBytes > std::numeric_limits<uint64_t>::max() - slack
                                         ? std::numeric_limits<uint64_t>::max()
                                         : maxBytes + slack;
    if (item.CompressedSize() > compressedBound) {
        throw EZipEntryTooLarge(entryName, item.CompressedSize(), compressedBound, true);
    }
    std::string out;
    DecodeEntry(index, out);
    bytes = std::move(out);
}

void TZipBaseArchiver::ExtractEntryToStream(int32_t index, std::string& destination)
{
    RequireOpen();
    std::string out;
    if (DecodeEntry(index, out)) {
        destination += out;
    }
}

bool TZipBaseArchiver::RequestPassword(const std::string& entryName)
{
    if (!OnPassword) {
        return true;
    }
    bool skip = false;
    OnPassword(*this, entryName, Password, skip);
    return skip;
}

bool TZipBaseArchiver::DecodeEntry(int32_t index, std::string& out)
{
    const TZipDirArray& items = directory_->Items();
    if (index < 0 || index >= items.Count()) {
        throw EZipException(kNativeIndexOutOfBounds, name_);
    }
    const TDirItem& item = items.At(index);

    // Only the central header's sizes and CRC-32 count; the local header gives
    // the length of what precedes the data and, when encrypted, the check byte.
    const uint64_t offset = item.LocalHeaderOffset();
    std::array<uint8_t, zipfmt::kLocalHeaderSize> local{};
    if (offset > std::numeric_limits<uint64_t>::max() - zipfmt::kLocalHeaderSize) {
        throw EReadError();
    }
    stream_->ReadExactAt(offset, local);
    const uint64_t dataStart = offset + zipfmt::kLocalHeaderSize + LoadU16(local, zipfmt::kLfhNameLength) +
                               LoadU16(local, zipfmt::kLfhExtraLength);

    const uint16_t method = item.Method();
    const DecodeOutcome outcome =
        zipfmt::IsDecodableMethod(method) ? DecodeStoredOrDeflated(item, local, dataStart, out) : DecodeOutcome::Failed;
    if (outcome == DecodeOutcome::Skipped) {
        out.clear();
        return false;
    }
    // A password request may have let other extractions run, but the item is
    // still the one decoded: a closed or reopened archive raised above.
    bool good = outcome == DecodeOutcome::Decoded && out.size() == item.UncompressedSize();
    if (good) {
        good = crc32_z(0, reinterpret_cast<const Bytef*>(out.data()), out.size()) == item.Crc32();
    }
    if (!good && !ExtractCorruptedFiles) {
        throw EZipException(kNativeBadSizeOrCrc, name_);
    }
    return true;
}

TZipBaseArchiver::DecodeOutcome TZipBaseArchiver::ReadEncryptionHeader(const TDirItem& item,
                                                                       std::span<const uint8_t> localHeader,
                                                                       uint64_t position,
                                                                       std::optional<PkwareKeys>& keys)
{
    // The header's last byte repeats the high byte of the local header's time
    // when a data descriptor follows the data, of its CRC-32 otherwise.
    const bool descriptor = (LoadU16(localHeader, zipfmt::kLfhFlags) & zipfmt::kFlagDataDescriptor) != 0;
    const uint8_t check = descriptor ? static_cast<uint8_t>(LoadU16(localHeader, zipfmt::kLfhTime) >> 8)
                                     : static_cast<uint8_t>(LoadU32(localHeader, zipfmt::kLfhCrc32) >> 24);
    std::array<uint8_t, zipfmt::kEncryptionHeaderSize> stored{};
    if (position > std::numeric_limits<uint64_t>::max() - stored.size() ||
        stream_->ReadAt(position, stored) != stored.size()) {
        return DecodeOutcome::Failed;
    }
    // The handler may close the archive, so it gets its own copy of the name.
    const std::string entryName = item.Name;
    for (;;) {
        std::array<uint8_t, zipfmt::kEncryptionHeaderSize> header = stored;
        PkwareKeys candidate(Password);
        candidate.Decrypt(header);
        if (header.back() == check) {
            keys = candidate;
            return DecodeOutcome::Decoded;
        }
        const uint64_t generation = generation_;
        const bool skip = RequestPassword(entryName);
        if (generation != generation_) {
            throw EZipException(kNativeNotOpen, name_);
        }
        if (skip) {
            return DecodeOutcome::Skipped;
        }
    }
}

TZipBaseArchiver::DecodeOutcome TZipBaseArchiver::DecodeStoredOrDeflated(const TDirItem& item,
                                                                         std::span<const uint8_t> localHeader,
                                                                         uint64_t dataStart, std::string& out)
{
    // No honest compressor makes data this much larger: refused before any is read,
    // unless the caller asked for whatever damaged entries still give.
    if (!ExtractCorruptedFiles && item.CompressedSize() > zipfmt::MaxCompressedSize(item.UncompressedSize())) {
        return DecodeOutcome::Failed;
    }
    EntryData entry{*stream_, dataStart, item.CompressedSize(), item.UncompressedSize()};
    std::optional<PkwareKeys> keys;
    if (item.Encrypted()) {
        if (entry.compressed < zipfmt::kEncryptionHeaderSize) {
            return DecodeOutcome::Failed;
        }
        const DecodeOutcome header = ReadEncryptionHeader(item, localHeader, entry.position, keys);
        if (header != DecodeOutcome::Decoded) {
            return header;
        }
        entry.compressed -= zipfmt::kEncryptionHeaderSize;
        entry.position += zipfmt::kEncryptionHeaderSize;
    }
    if (entry.position > std::numeric_limits<uint64_t>::max() - entry.compressed) {
        return DecodeOutcome::Failed;
    }
    const bool decoded =
        item.Method() == zipfmt::kMethodStored ? CopyStored(entry, keys, out) : InflateDeflated(entry, keys, out);
    return decoded ? DecodeOutcome::Decoded : DecodeOutcome::Failed;
}
