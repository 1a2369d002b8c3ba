// Reading the central directory, with its Zip64 records, into the item list.
#include <limits>

#include "archive/ByteReader.h"
#include "archive/SequentialReader.h"
#include "io/StreamError.h"
#include "archive/ZipDirectory.h"
#include "archive/ZipException.h"
#include "archive/ZipMessages.h"

using namespace glyphtint::archive;

namespace {

// Fills the item's 64-bit values from a Zip64 extended information block: each
// value is present only when the header's own field holds its all-ones value.
// A value cut short by the end of the block is not taken, nor any after it.
void ParseZip64Block(TDirItem& item, std::span<const uint8_t> data)
{
    item.Zip64 = true;
    ByteReader reader(data);
    const auto take64 = [&](size_t headerField, uint64_t& value) {
        if (!reader.Ok() || reader.Remaining() == 0 || LoadU32(item.Header, headerField) != zipfmt::kZip64Marker32) {
            return;
        }
        const uint64_t read = reader.U64();
        if (reader.Ok()) {
            value = read;
        }
    };
    take64(zipfmt::kCdhUncompressedSize, item.UncompressedSize64);
    take64(zipfmt::kCdhCompressedSize, item.CompressedSize64);
    take64(zipfmt::kCdhLocalHeaderOffset, item.LocalHeaderOffset64);
    if (reader.Ok() && reader.Remaining() > 0 &&
        LoadU16(item.Header, zipfmt::kCdhDiskNumberStart) == zipfmt::kZip64Marker16) {
        const uint16_t disk = reader.U16();
        if (reader.Ok()) {
            item.DiskNumberStart = disk;
        }
    }
}

std::string TextUpToZero(const std::vector<uint8_t>& bytes)
{
    size_t length = 0;
    while (length < bytes.size() && length < zipfmt::kMaxItemText && bytes[length] != 0) {
        ++length;
    }
    return std::string(reinterpret_cast<const char*>(bytes.data()), length);
}

// Reads one central directory file header with its name, extra blocks and
// comment. The extra field is walked block by block, so a block that claims
// more than the field holds reads on into what follows, as the stream does.
TDirItem ReadItem(SequentialReader& in)
{
    TDirItem item;
    in.Read(item.Header);
    const uint16_t nameLength = LoadU16(item.Header, zipfmt::kCdhNameLength);
    const uint16_t extraLength = LoadU16(item.Header, zipfmt::kCdhExtraLength);
    const uint16_t commentLength = LoadU16(item.Header, zipfmt::kCdhCommentLength);
    if (nameLength != 0) {
        item.Name = DeriveEntryName(in.ReadBytes(nameLength));
    }
    uint32_t consumed = 0;
    while (consumed < extraLength) {
        std::array<uint8_t, zipfmt::kExtraBlockHeadSize> head{};
        in.Read(head);
        TExtraBlock block;
        block.HeaderId = LoadU16(head, 0);
        block.Data = in.ReadBytes(LoadU16(head, 2));
        if (block.HeaderId == zipfmt::kZip64ExtraId) {
            ParseZip64Block(item, block.Data);
        }
        consumed += static_cast<uint32_t>(zipfmt::kExtraBlockHeadSize + block.Data.size());
        item.ExtraFields.push_back(std::move(block));
    }
    if (commentLength != 0) {
        item.Comment = TextUpToZero(in.ReadBytes(commentLength));
    }
    return item;
}

} // namespace

void TZipDirManager::ReadZip64Records(uint64_t& endPosition)
{
    if (endPosition <= zipfmt::kZip64LocatorSize) {
        return;
    }
    std::array<uint8_t, zipfmt::kZip64LocatorSize> locator{};
    if (stream_.ReadAt(endPosition - zipfmt::kZip64LocatorSize, locator) != locator.size() ||
        !std::equal(zipfmt::kZip64LocatorSig.begin(), zipfmt::kZip64LocatorSig.end(), locator.begin())) {
        return;
    }
    zip64Locator_ = locator;
    zip64_ = true;
    endPosition -= zipfmt::kZip64LocatorSize;

    const uint64_t recordOffset = LoadU64(locator, zipfmt::kZip64LocatorRecordOffset);
    std::array<uint8_t, zipfmt::kZip64EndRecordSize> record{};
    const bool readable = endPosition > zipfmt::kZip64EndRecordSize &&
                          recordOffset <= stream_.Size() - zipfmt::kZip64EndRecordSize &&
                          stream_.ReadAt(recordOffset, record) == record.size();
    if (!readable ||
        !std::equal(zipfmt::kZip64EndRecordSig.begin(), zipfmt::kZip64EndRecordSig.end(), record.begin())) {
        throw EZipException(kNativeNoZip64EndRecord);
    }
    zip64EndRecord_ = record;
    endPosition -= zipfmt::kZip64EndRecordSize;
}

void TZipDirManager::ReadCentralDirectory(bool searchOwnSignature)
{
    items_.Clear();
    ResetEndRecord(zipfmt::kEndRecordSig);
    archiveComment_.clear();
    archiveShift_ = 0;
    zip64_ = false;
    zip64Locator_.fill(0);
    zip64EndRecord_.fill(0);

    std::optional<uint64_t> found;
    if (searchOwnSignature) {
        found = LocateEndRecord(zipfmt::kOwnEndRecordSig);
    }
    if (!found) {
        found = LocateEndRecord(zipfmt::kEndRecordSig);
    }
    if (!found) {
        RebuildFromLocalHeaders();
        return;
    }

    uint64_t endPosition = *found;
    ReadZip64Records(endPosition);

    uint64_t directorySize;
    uint64_t count;
    if (zip64_) {
        directorySize = LoadU64(zip64EndRecord_, zipfmt::kZip64EndDirectorySize);
        count = LoadU64(zip64EndRecord_, zipfmt::kZip64EndTotalEntries) & 0xFFFFFFFFu;
    } else {
        directorySize = LoadU32(endRecord_, zipfmt::kEndDirectorySize);
        count = LoadU16(endRecord_, zipfmt::kEndTotalEntries);
    }
    // The directory lies before the end position, and every header in it takes
    // at least 46 bytes: a count that the directory cannot hold is a damaged
    // file, refused before anything is allocated for it.
    if (directorySize > endPosition || count > directorySize / zipfmt::kCentralHeaderSize ||
        count > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
        throw EReadError();
    }

    items_.Reserve(static_cast<int32_t>(count));
    SequentialReader in(stream_, endPosition - directorySize);
    for (uint64_t i = 0; i < count; ++i) {
        items_.Add(ReadItem(in));
    }
    ComputeArchiveShift(endPosition);
    ApplyArchiveShift();
}

void TZipDirManager::ApplyArchiveShift()
{
    if (items_.Count() == 0) {
        return;
    }
    const auto shift = static_cast<uint32_t>(static_cast<uint64_t>(archiveShift_));
    if (items_.At(0).LocalHeaderOffset32() == shift) {
        return;
    }
    for (int32_t i = 0; i < items_.Count(); ++i) {
        TDirItem& item = items_.At(i);
        // Directory entries have no data to find. An all-ones field defers to the
        // Zip64 offset and must stay all ones, or the item would point elsewhere.
        if ((item.ExternalAttributes() & zipfmt::kAttrDirectory) != 0 ||
            item.LocalHeaderOffset32() == zipfmt::kZip64Marker32) {
            continue;
        }
        item.SetLocalHeaderOffset32(item.LocalHeaderOffset32() + shift);
    }
}
