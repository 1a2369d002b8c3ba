// The in-memory central directory: TDirItem fields, the checked item list and entry names.
#include "archive/ZipDirectory.h"

#include <algorithm>
#include <cstring>

#include "archive/ByteReader.h"
#include "archive/CodePage437.h"
#include "archive/ZipException.h"

using namespace glyphtint::archive;

uint16_t TDirItem::VersionMadeBy() const
{
    return LoadU16(Header, zipfmt::kCdhVersionMadeBy);
}
uint16_t TDirItem::VersionNeeded() const
{
    return LoadU16(Header, zipfmt::kCdhVersionNeeded);
}
uint16_t TDirItem::Flags() const
{
    return LoadU16(Header, zipfmt::kCdhFlags);
}
uint16_t TDirItem::Method() const
{
    return LoadU16(Header, zipfmt::kCdhMethod);
}
uint16_t TDirItem::DosTime() const
{
    return LoadU16(Header, zipfmt::kCdhTime);
}
uint16_t TDirItem::DosDate() const
{
    return LoadU16(Header, zipfmt::kCdhDate);
}
uint32_t TDirItem::Crc32() const
{
    return LoadU32(Header, zipfmt::kCdhCrc32);
}
uint32_t TDirItem::ExternalAttributes() const
{
    return LoadU32(Header, zipfmt::kCdhExternalAttributes);
}
uint32_t TDirItem::LocalHeaderOffset32() const
{
    return LoadU32(Header, zipfmt::kCdhLocalHeaderOffset);
}
void TDirItem::SetLocalHeaderOffset32(uint32_t offset)
{
    StoreU32(Header, zipfmt::kCdhLocalHeaderOffset, offset);
}
bool TDirItem::Encrypted() const
{
    return (Flags() & zipfmt::kFlagEncrypted) != 0;
}

uint64_t TDirItem::CompressedSize() const
{
    const uint32_t field = LoadU32(Header, zipfmt::kCdhCompressedSize);
    return field == zipfmt::kZip64Marker32 ? CompressedSize64 : field;
}

uint64_t TDirItem::UncompressedSize() const
{
    const uint32_t field = LoadU32(Header, zipfmt::kCdhUncompressedSize);
    return field == zipfmt::kZip64Marker32 ? UncompressedSize64 : field;
}

uint64_t TDirItem::LocalHeaderOffset() const
{
    const uint32_t field = LocalHeaderOffset32();
    return field == zipfmt::kZip64Marker32 ? LocalHeaderOffset64 : field;
}

void TZipDirArray::Check(int32_t index, int32_t native) const
{
    if (index < 0 || index >= Count()) {
        throw EZipException(native);
    }
}

void TZipDirArray::Set(int32_t index, TDirItem item)
{
    Check(index, 1);
    items_[static_cast<size_t>(index)] = std::move(item);
}

TDirItem TZipDirArray::Get(int32_t index) const
{
    Check(index, 2);
    return items_[static_cast<size_t>(index)];
}

TDirItem& TZipDirArray::At(int32_t index)
{
    Check(index, 3);
    return items_[static_cast<size_t>(index)];
}

const TDirItem& TZipDirArray::At(int32_t index) const
{
    Check(index, 3);
    return items_[static_cast<size_t>(index)];
}

void TZipDirArray::Delete(int32_t index)
{
    Check(index, 4);
    items_.erase(items_.begin() + index);
}

TZipDirManager::TZipDirManager(const glyphtint::io::FileStream& stream, const Signature& endSignature) : stream_(stream)
{
    ResetEndRecord(endSignature);
}

uint16_t TZipDirManager::EndRecordDiskNumber() const
{
    return LoadU16(endRecord_, zipfmt::kEndDiskNumber);
}

uint16_t TZipDirManager::EndRecordTotalEntries() const
{
    return LoadU16(endRecord_, zipfmt::kEndTotalEntries);
}

void TZipDirManager::ResetEndRecord(const Signature& signature)
{
    endRecord_.fill(0);
    std::copy(signature.begin(), signature.end(), endRecord_.begin());
}

namespace glyphtint::archive {

std::string DeriveEntryName(std::span<const uint8_t> stored)
{
    const auto zero = std::find(stored.begin(), stored.end(), uint8_t{0});
    const size_t length = std::min(static_cast<size_t>(zero - stored.begin()), zipfmt::kMaxItemText);
    std::string name = Cp437ToUtf8(stored.first(length));
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

} // namespace glyphtint::archive
