// Local header scans: finding headers, rebuilding a directory from them and the archive shift.
#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

#include "archive/ByteReader.h"
#include "archive/ZipDirectory.h"
#include "archive/ZipException.h"
#include "archive/ZipMessages.h"

using namespace glyphtint::archive;

namespace {

constexpr size_t kScanChunk = 65535;
constexpr size_t kSignatureSize = zipfmt::kLocalHeaderSig.size();

// Walks forward through a file for local header signatures. The file is read
// once, in chunks of kScanChunk bytes, into a window that slides along; the
// bytes of a header just found can be looked at without another read.
class LocalHeaderScanner {
public:
    LocalHeaderScanner(const glyphtint::io::FileStream& stream, uint64_t start) : stream_(stream), cursor_(start) { }

    // Position of the next signature at or after the cursor, which moves just
    // past it; nullopt at the end of the file or once a read comes back short.
    std::optional<uint64_t> Next()
    {
        while (Cover(cursor_, kSignatureSize)) {
            const uint8_t* const first = window_.data() + (cursor_ - windowStart_);
            const uint8_t* const last = window_.data() + windowFill_ - kSignatureSize; // last possible start
            for (const uint8_t* p = first; p <= last; ++p) {
                p = static_cast<const uint8_t*>(std::memchr(p, zipfmt::kLocalHeaderSig[0], last - p + 1));
                if (p == nullptr) {
                    break;
                }
                if (std::equal(zipfmt::kLocalHeaderSig.begin(), zipfmt::kLocalHeaderSig.end(), p)) {
                    const uint64_t found = windowStart_ + static_cast<uint64_t>(p - window_.data());
                    cursor_ = found + 1;
                    return found;
                }
            }
            // The last three bytes may begin a signature that the next chunk completes.
            cursor_ = windowStart_ + windowFill_ - (kSignatureSize - 1);
            if (!Extend()) {
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    // Moves the cursor forward to position; a position behind it is ignored.
    void SkipTo(uint64_t position) { cursor_ = std::max(cursor_, position); }

    // The bytes at position, up to count of them, as far as the file holds
    // them. position must not lie before the last signature found.
    std::span<const uint8_t> Bytes(uint64_t position, size_t count)
    {
        const uint64_t size = stream_.Size();
        if (position >= size) {
            return {};
        }
        count = static_cast<size_t>(std::min<uint64_t>(count, size - position));
        while (!Contains(position, count) && Extend(position)) { }
        if (position < windowStart_ || position >= windowStart_ + windowFill_) {
            return {};
        }
        const size_t offset = static_cast<size_t>(position - windowStart_);
        return std::span<const uint8_t>(window_).subspan(offset, std::min(count, windowFill_ - offset));
    }

private:
    bool Contains(uint64_t position, size_t count) const
    {
        return position >= windowStart_ && position - windowStart_ + count <= windowFill_;
    }

    // Makes the window hold count bytes from position; false when the file
    // does not have them or a read came back short.
    bool Cover(uint64_t position, size_t count)
    {
        while (!Contains(position, count)) {
            if (!Extend(position)) {
                return false;
            }
        }
        return true;
    }

    bool Extend() { return Extend(cursor_); }

    // Drops the bytes before keepFrom and reads the next chunk behind the rest.
    bool Extend(uint64_t keepFrom)
    {
        const uint64_t windowEnd = windowStart_ + windowFill_;
        if (keepFrom < windowStart_ || keepFrom > windowEnd) {
            windowStart_ = keepFrom; // a jump: start a new window there
            windowFill_ = 0;
        } else {
            const size_t drop = static_cast<size_t>(keepFrom - windowStart_);
            if (drop > 0 && drop < windowFill_) {
                std::memmove(window_.data(), window_.data() + drop, windowFill_ - drop);
            }
            windowStart_ = keepFrom;
            windowFill_ -= drop;
        }
        const uint64_t readFrom = windowStart_ + windowFill_;
        const uint64_t size = stream_.Size();
        if (shortRead_ || readFrom >= size) {
            return false;
        }
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kScanChunk, size - readFrom));
        window_.resize(std::max(window_.size(), windowFill_ + want));
        const size_t got = stream_.ReadAt(readFrom, std::span<uint8_t>(window_).subspan(windowFill_, want));
        windowFill_ += got;
        shortRead_ = got < want;
        return got > 0;
    }

    const glyphtint::io::FileStream& stream_;
    uint64_t cursor_;
    std::vector<uint8_t> window_;
    uint64_t windowStart_ = 0;
    size_t windowFill_ = 0;
    bool shortRead_ = false;
};

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
    const auto found = LocalHeaderScanner(stream_, start).Next();
    if (!found || stream_.Size() - *found < zipfmt::kLocalHeaderSize) {
        return std::nullopt;
    }
    return found;
}

void TZipDirManager::RebuildFromLocalHeaders()
{
    items_.Clear();
    const uint64_t size = stream_.Size();
    // Headers cannot overlap: the search for the next one starts past this
    // one's name and extra field, so the file holds at most size / 30 items.
    // A first pass counts them, so the list is allocated once at its size.
    const auto scan = [&](const std::function<void(uint64_t, std::span<const uint8_t>, LocalHeaderScanner&)>& take) {
        LocalHeaderScanner scanner(stream_, 0);
        while (const std::optional<uint64_t> position = scanner.Next()) {
            if (size - *position < zipfmt::kLocalHeaderSize) {
                break; // every later signature is nearer the end still
            }
            const std::span<const uint8_t> local = scanner.Bytes(*position, zipfmt::kLocalHeaderSize);
            if (local.size() < zipfmt::kLocalHeaderSize) {
                break;
            }
            const uint64_t nameStart = *position + zipfmt::kLocalHeaderSize;
            const uint64_t next =
                nameStart + LoadU16(local, zipfmt::kLfhNameLength) + LoadU16(local, zipfmt::kLfhExtraLength);
            take(*position, local, scanner);
            scanner.SkipTo(next);
        }
    };
    int64_t count = 0;
    scan([&](uint64_t, std::span<const uint8_t>, LocalHeaderScanner&) { ++count; });
    if (count == 0) {
        throw EZipException(kNativeInvalidArchive);
    }
    items_.Reserve(static_cast<int32_t>(std::min<int64_t>(count, std::numeric_limits<int32_t>::max())));
    scan([&](uint64_t position, std::span<const uint8_t> local, LocalHeaderScanner& scanner) {
        if (items_.Count() == std::numeric_limits<int32_t>::max()) {
            return;
        }
        TDirItem item = ItemFromLocalHeader(local, position);
        const uint16_t nameLength = LoadU16(local, zipfmt::kLfhNameLength);
        const uint64_t nameStart = position + zipfmt::kLocalHeaderSize;
        if (nameLength != 0 && size - nameStart >= nameLength) {
            // Names keep at most kMaxItemText bytes, so no more are looked at.
            item.Name = DeriveEntryName(scanner.Bytes(nameStart, std::min<size_t>(nameLength, zipfmt::kMaxItemText)));
        }
        items_.Add(std::move(item));
    });
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
    LocalHeaderScanner scanner(stream_, start);
    while (const std::optional<uint64_t> q = scanner.Next()) {
        if (size - *q < zipfmt::kLocalHeaderSize) {
            continue;
        }
        const std::span<const uint8_t> local = scanner.Bytes(*q, zipfmt::kLocalHeaderSize);
        if (local.size() < zipfmt::kLocalHeaderSize) {
            return;
        }
        if (size - *q - zipfmt::kLocalHeaderSize >= LoadU16(local, zipfmt::kLfhNameLength) &&
            SameLocalValues(local, first)) {
            archiveShift_ = static_cast<int64_t>(*q - start);
            return;
        }
    }
}
