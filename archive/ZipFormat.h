// Record sizes, field offsets and signatures of the ZIP structures the reader uses.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace glyphtint::archive::zipfmt {

using Signature = std::array<uint8_t, 4>;

inline constexpr Signature kEndRecordSig = {0x50, 0x4B, 0x05, 0x06};
// The component's own end-record signature (its private block format).
inline constexpr Signature kOwnEndRecordSig = {0x41, 0x41, 0x05, 0x06};
inline constexpr Signature kZip64LocatorSig = {0x50, 0x4B, 0x06, 0x07};
inline constexpr Signature kZip64EndRecordSig = {0x50, 0x4B, 0x06, 0x06};
inline constexpr Signature kCentralHeaderSig = {0x50, 0x4B, 0x01, 0x02};
inline constexpr Signature kLocalHeaderSig = {0x50, 0x4B, 0x03, 0x04};

// End of central directory record.
inline constexpr size_t kEndRecordSize = 22;
inline constexpr size_t kEndDiskNumber = 4;
inline constexpr size_t kEndDirectoryDisk = 6;
inline constexpr size_t kEndEntriesOnDisk = 8;
inline constexpr size_t kEndTotalEntries = 10;
inline constexpr size_t kEndDirectorySize = 12;
inline constexpr size_t kEndDirectoryOffset = 16;
inline constexpr size_t kEndCommentLength = 20;
// The end record tail searched for a signature: the record, the longest comment
// and some slack.
inline constexpr uint64_t kEndRecordTail = 65600;

// Zip64 end of central directory locator.
inline constexpr size_t kZip64LocatorSize = 20;
inline constexpr size_t kZip64LocatorRecordOffset = 8;
inline constexpr size_t kZip64LocatorDiskCount = 16;

// Zip64 end of central directory record (fixed part).
inline constexpr size_t kZip64EndRecordSize = 56;
inline constexpr size_t kZip64EndTotalEntries = 32;
inline constexpr size_t kZip64EndDirectorySize = 40;
inline constexpr size_t kZip64EndDirectoryOffset = 48;

// Central directory file header.
inline constexpr size_t kCentralHeaderSize = 46;
inline constexpr size_t kCdhVersionMadeBy = 4;
inline constexpr size_t kCdhVersionNeeded = 6;
inline constexpr size_t kCdhFlags = 8;
inline constexpr size_t kCdhMethod = 10;
inline constexpr size_t kCdhTime = 12;
inline constexpr size_t kCdhDate = 14;
inline constexpr size_t kCdhCrc32 = 16;
inline constexpr size_t kCdhCompressedSize = 20;
inline constexpr size_t kCdhUncompressedSize = 24;
inline constexpr size_t kCdhNameLength = 28;
inline constexpr size_t kCdhExtraLength = 30;
inline constexpr size_t kCdhCommentLength = 32;
inline constexpr size_t kCdhDiskNumberStart = 34;
inline constexpr size_t kCdhInternalAttributes = 36;
inline constexpr size_t kCdhExternalAttributes = 38;
inline constexpr size_t kCdhLocalHeaderOffset = 42;

// Local file header.
inline constexpr size_t kLocalHeaderSize = 30;
inline constexpr size_t kLfhVersionNeeded = 4;
inline constexpr size_t kLfhFlags = 6;
inline constexpr size_t kLfhMethod = 8;
inline constexpr size_t kLfhTime = 10;
inline constexpr size_t kLfhDate = 12;
inline constexpr size_t kLfhCrc32 = 14;
inline constexpr size_t kLfhCompressedSize = 18;
inline constexpr size_t kLfhUncompressedSize = 22;
inline constexpr size_t kLfhNameLength = 26;
inline constexpr size_t kLfhExtraLength = 28;

// Extra field blocks.
inline constexpr uint16_t kZip64ExtraId = 0x0001;
inline constexpr size_t kExtraBlockHeadSize = 4;

// General purpose flag bits.
inline constexpr uint16_t kFlagEncrypted = 0x0001;
inline constexpr uint16_t kFlagDataDescriptor = 0x0008;

// Version needed to extract that marks the component's own name cipher.
inline constexpr uint16_t kOwnNameCipherVersion = 0x4114;

// External attribute bit of a directory entry.
inline constexpr uint32_t kAttrDirectory = 0x10;
// Attribute bits an item description carries for a file (archive bit).
inline constexpr uint32_t kAttrArchive = 0x20;

inline constexpr uint16_t kMethodStored = 0;
inline constexpr uint16_t kMethodDeflated = 8;

// The reader decodes stored and deflated data only.
inline constexpr bool IsDecodableMethod(uint16_t method)
{
    return method == kMethodStored || method == kMethodDeflated;
}

// All-ones values that defer a field to the Zip64 extended information.
inline constexpr uint32_t kZip64Marker32 = 0xFFFFFFFFu;
inline constexpr uint16_t kZip64Marker16 = 0xFFFFu;

// Traditional PKWARE encryption header in front of the entry data.
inline constexpr uint64_t kEncryptionHeaderSize = 12;

// The most compressed bytes that size bytes of data can honestly take: deflate's worst
// case (zlib's most conservative bound, stored blocks of any size and fixed codes
// included) plus an encryption header. Saturates instead of wrapping.
inline constexpr uint64_t MaxCompressedSize(uint64_t size)
{
    const uint64_t overhead = size / 8 + size / 64 + 64;
    return size > UINT64_MAX - overhead ? UINT64_MAX : size + overhead;
}

// The most deflate blocks size bytes of data honestly take: zlib at its smallest
// memory level ends a block every 127 symbols, so a block per 64 bytes leaves room
// for flushes. Each block makes inflate read and build its code tables again, so
// this bounds the work of an entry by its size.
inline constexpr uint64_t MaxDeflateBlocks(uint64_t size)
{
    return 64 + size / 64;
}

// Names and comments of items are held up to this many bytes.
inline constexpr size_t kMaxItemText = 256;
// A requested name is held up to this many bytes.
inline constexpr size_t kMaxRequestedName = 259;

} // namespace glyphtint::archive::zipfmt
