// Local header scans: finding headers, rebuilding a directory from them and the archive shift.
#include <functional>
#include <vector>

#include "archive/ByteReader.h"
#include "archive/ZipDirectory.h"
#include "archive/ZipException.h"
#include "archive/ZipMessages.h"

using namespace glyphtint::archive;

namespace {

constexpr size_t kScanChunk = 65535;

// Calls accept for every local header signature at or after start, in file
// order, until it returns true. Chunks overlap by three bytes so that a
// signature across a chunk border is seen exactly once.
std::optional<uint64_t> ScanLocalSignatures(const FileStream& stream, uint64_t start,
                                            const std::function<bool(uint64_t)>& accept)
{
    const uint64_t size = stream.Size();
    std::vector<uint8_t> chunk(kScanChunk);
    uint64_t position = start;
    while (position < size) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kScanChunk, size - position));
        const size_t got = stream.ReadAt(position, std::span<uint8_t>(chunk).first(want));
        for (size_t j = 0; j + 4 <= got; ++j) {
            if (chunk[j] == zipfmt::kLocalHeaderSig[0] && chunk[j + 1] == zipfmt::kLocalHeaderSig[1] &&
                chunk[j + 2] == zipfmt::kLocalHeaderSig[2] && chunk[j + 3] == zipfmt::kLocalHeaderSig[3] &&
                accept(position + j)) {
                return position + j;
            }
        }
        if (got < want || got < 4 || position + got >= size) {
            break;
        }
        position += got - 3;
    }
    return std::nullopt;
}

bool SameLocalValues(std::span<const uint8_t> local, const TDirItem& item)
{
    return LoadU16(local, zipfmt::kLfhVersionNeeded) == item.VersionNeeded() &&
           LoadU16(local, zipfmt::kLfhFlags) == item.Flags() && LoadU16(local, zipfmt::kLfhMethod) == item.Method() &&
           LoadU16(local, zipfmt::kLfhTime) == item.DosTime() && LoadU16(local, zipfmt::kLfhDate) == item.DosDate() &&
           LoadU32(local, zipfmt::kLfhCrc32) == item.Crc32() &&
           LoadU32(local, zipfmt::kLfhCompressedSize) == LoadU32(item.Header, zipfmt::kCdhCompressedSize) &&
           LoadU32(local, zipfmt::kLfhUncompressedSize) == LoadU32(item.Header, zipfmt::kCdhUncompressedSize);
}

// A central header made from a local one, for a directory rebuilt without a
// central directory.
TDirItem ItemFromLocalHeader(std::span<const uint8_t> local, uint64_t position)
{
    TDirItem item;
    auto& h = item.Header;
    std::copy(zipfmt::kCentralHeaderSig.begin(), zipfmt::kCentralHeaderSig.end(), h.begin());
    const uint16_t version = LoadU16(local, zipfmt::kLfhVersionNeeded);
    StoreU16(h, zipfmt::kCdhVersionMadeBy, version);
    StoreU16(h, zipfmt::kCdhVersionNeeded, version);
    StoreU16(h, zipfmt::kCdhFlags, LoadU16(local, zipfmt::kLfhFlags));
    StoreU16(h, zipfmt::kCdhMethod, LoadU16(local, zipfmt::kLfhMethod));
    StoreU16(h, zipfmt::kCdhTime, LoadU16(local, zipfmt::kLfhTime));
    StoreU16(h, zipfmt::kCdhDate, LoadU16(local, zipfmt::kLfhDate));
    StoreU32(h, zipfmt::kCdhCrc32, LoadU32(local, zipfmt::kLfhCrc32));
    StoreU32(h, zipfmt::kCdhCompressedSize, LoadU32(local, zipfmt::kLfhCompressedSize));
    const uint32_t uncompressed = LoadU32(local, zipfmt::kLfhUncompressedSize);
    StoreU32(h, zipfmt::kCdhUncompressedSize, uncompressed);
    StoreU16(h, zipfmt::kCdhNameLength, LoadU16(local, zipfmt::kLfhNameLength));
    StoreU16(h, zipfmt::kCdhExtraLength, LoadU16(local, zipfmt::kLfhExtraLength));
    StoreU32(h, zipfmt::kCdhExternalAttributes, uncompressed != 0 ? zipfmt::kAttrArchive : zipfmt::kAttrDirectory);
    if (position >= zipfmt::kZip64Marker32) {
        StoreU32(h, zipfmt::kCdhLocalHeaderOffset, zipfmt::kZip64Marker32);
        item.LocalHeaderOffset64 = position;
    } else {
        StoreU32(h, zipfmt::kCdhLocalHeaderOffset, static_cast<uint32_t>(position));
    }
    return item;
}

} // namespace

std::optional<uint64_t> TZipDirManager::FindLocalHeader(uint64_t start) const
{
    const auto found = ScanLocalSignatures(stream_, start, [](uint64_t) { return true; });
    if (!found || stream_.Size() - *found < zipfmt::kLocalHeaderSize) {
        return std::nullopt;
    }
    return found;
}

void TZipDirManager::RebuildFromLocalHeaders()
{
    items_.Clear();
    std::optional<uint64_t> position = FindLocalHeader(0);
    if (!position) {
        throw EZipException(kNativeInvalidArchive);
    }
    const uint64_t size = stream_.Size();
    while (position) {
        std::array<uint8_t, zipfmt::kLocalHeaderSize> local{};
        stream_.ReadExactAt(*position, local);
        TDirItem item = ItemFromLocalHeader(local, *position);
        const uint16_t nameLength = LoadU16(local, zipfmt::kLfhNameLength);
        const uint64_t nameStart = *position + zipfmt::kLocalHeaderSize;
        if (nameLength != 0 && size - nameStart >= nameLength) {
            std::vector<uint8_t> name(nameLength);
            stream_.ReadExactAt(nameStart, name);
            item.Name = DeriveEntryName(name);
        }
        items_.Add(std::move(item));
        position = FindLocalHeader(*position + 4);
    }
}

void TZipDirManager::ComputeArchiveShift(uint64_t endPosition)
{
    if (EndRecordTotalEntries() == 0) {
        archiveShift_ = static_cast<int64_t>(endPosition);
        return;
    }
    if (items_.Count() == 0) {
        return;
    }
    const TDirItem& first = items_.At(0);
    const uint64_t start = first.LocalHeaderOffset();
    const uint64_t size = stream_.Size();
    // The first entry's own local header is the one whose fields repeat its
    // central header; an earlier signature inside a stub does not.
    const auto match = ScanLocalSignatures(stream_, start, [&](uint64_t q) {
        if (size - q < zipfmt::kLocalHeaderSize) {
            return false;
        }
        std::array<uint8_t, zipfmt::kLocalHeaderSize> local{};
        if (stream_.ReadAt(q, local) != local.size()) {
            return false;
        }
        const uint16_t nameLength = LoadU16(local, zipfmt::kLfhNameLength);
        if (size - q - zipfmt::kLocalHeaderSize < nameLength) {
            return false;
        }
        return SameLocalValues(local, first);
    });
    if (match) {
        archiveShift_ = static_cast<int64_t>(*match - start);
    }
}
