// The in-memory central directory: TDirItem records, the checked TZipDirArray and TZipDirManager.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "io/FileStream.h"
#include "archive/ZipFormat.h"

// One block of an item's extra field, in stored order.
struct TExtraBlock {
    uint16_t HeaderId = 0;
    std::vector<uint8_t> Data; // its size is the block's data size
};

// One central-directory entry. Header is the 46-byte central directory file
// header exactly as stored, except that the archive-shift correction may have
// changed its local header offset field.
struct TDirItem {
    std::array<uint8_t, glyphtint::archive::zipfmt::kCentralHeaderSize> Header{};
    std::string Name;    // UTF-8, backslashes turned into slashes, at most 256 stored bytes
    std::string Comment; // raw bytes up to the first zero, at most 256 bytes
    std::vector<TExtraBlock> ExtraFields;
    bool Zip64 = false; // the item carried a Zip64 extended information block
    // Values from the Zip64 block; meaningful only where the header's own field
    // holds its all-ones value.
    uint64_t UncompressedSize64 = 0;
    uint64_t CompressedSize64 = 0;
    uint64_t LocalHeaderOffset64 = 0;
    uint32_t DiskNumberStart = 0;

    // Header fields.
    uint16_t VersionMadeBy() const;
    uint16_t VersionNeeded() const;
    uint16_t Flags() const;
    uint16_t Method() const;
    uint16_t DosTime() const;
    uint16_t DosDate() const;
    uint32_t Crc32() const;
    uint32_t ExternalAttributes() const;
    uint32_t LocalHeaderOffset32() const;
    void SetLocalHeaderOffset32(uint32_t offset);
    bool Encrypted() const;

    // Sizes and offset with the Zip64 value taken where the 32-bit field is all ones.
    uint64_t CompressedSize() const;
    uint64_t UncompressedSize() const;
    uint64_t LocalHeaderOffset() const;
};

// Growable item list with checked indexed access: an index outside
// 0 .. Count()-1 raises EZipException "Index out of bounds" with native 1
// (Set), 2 (Get), 3 (At) or 4 (Delete), without a component prefix.
class TZipDirArray {
public:
    int32_t Count() const { return static_cast<int32_t>(items_.size()); }
    void Clear() { items_.clear(); }
    void Reserve(int32_t count) { items_.reserve(static_cast<size_t>(count)); }
    void Add(TDirItem item) { items_.push_back(std::move(item)); }

    void Set(int32_t index, TDirItem item);
    TDirItem Get(int32_t index) const;
    TDirItem& At(int32_t index);
    const TDirItem& At(int32_t index) const;
    void Delete(int32_t index);

    auto begin() const { return items_.cbegin(); }
    auto end() const { return items_.cend(); }

private:
    void Check(int32_t index, int32_t native) const;
    std::vector<TDirItem> items_;
};

// The directory of one open archive. Reads through a stream it does not own.
class TZipDirManager {
public:
    using Signature = glyphtint::archive::zipfmt::Signature;

    // endSignature is written into the empty end record: the standard one for a
    // TZipArchive, the component's own for a plain base archiver.
    TZipDirManager(const glyphtint::io::FileStream& stream, const Signature& endSignature);

    TZipDirArray& Items() { return items_; }
    const TZipDirArray& Items() const { return items_; }

    // The fixed 22 bytes of the end record last found (its comment length included).
    const std::array<uint8_t, glyphtint::archive::zipfmt::kEndRecordSize>& EndRecord() const { return endRecord_; }
    uint16_t EndRecordDiskNumber() const;
    uint16_t EndRecordTotalEntries() const;
    const std::string& ArchiveComment() const { return archiveComment_; }
    bool HasZip64() const { return zip64_; }
    const std::array<uint8_t, glyphtint::archive::zipfmt::kZip64LocatorSize>& Zip64Locator() const
    {
        return zip64Locator_;
    }
    const std::array<uint8_t, glyphtint::archive::zipfmt::kZip64EndRecordSize>& Zip64EndRecord() const
    {
        return zip64EndRecord_;
    }
    int64_t ArchiveShift() const { return archiveShift_; }

    // Searches the last 65 600 bytes of the file backwards for an end record with
    // this signature whose comment ends exactly at the end of the file. Found:
    // keeps the record and its comment and returns the record's file position.
    std::optional<uint64_t> LocateEndRecord(const Signature& signature);

    // Reads the whole central directory into the item list. searchOwnSignature:
    // look for the component's own end record before the standard one. Throws
    // EReadError, or EZipException 35 / 40 without a component prefix.
    void ReadCentralDirectory(bool searchOwnSignature);

    // Builds the item list from the local headers found by scanning the file.
    void RebuildFromLocalHeaders();

    // Position of the first local header signature at or after start that has at
    // least a whole local header behind it.
    std::optional<uint64_t> FindLocalHeader(uint64_t start) const;

    // How far the first item's local header lies beyond the offset the directory
    // gives for it.
    void ComputeArchiveShift(uint64_t endPosition);

private:
    void ResetEndRecord(const Signature& signature);
    void ReadZip64Records(uint64_t& endPosition);
    void ApplyArchiveShift();

    const glyphtint::io::FileStream& stream_;
    TZipDirArray items_;
    std::array<uint8_t, glyphtint::archive::zipfmt::kEndRecordSize> endRecord_{};
    std::string archiveComment_;
    bool zip64_ = false;
    std::array<uint8_t, glyphtint::archive::zipfmt::kZip64LocatorSize> zip64Locator_{};
    std::array<uint8_t, glyphtint::archive::zipfmt::kZip64EndRecordSize> zip64EndRecord_{};
    int64_t archiveShift_ = 0;
};

namespace glyphtint::archive {

// Entry name from the stored name bytes: up to the first zero byte, at most
// 256 bytes, code page 437 to UTF-8, backslashes to slashes.
std::string DeriveEntryName(std::span<const uint8_t> stored);

} // namespace glyphtint::archive
