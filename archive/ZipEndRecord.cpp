// The backward search for the end of central directory record in the file's tail.
#include <algorithm>
#include <vector>

#include "archive/ByteReader.h"
#include "archive/ZipDirectory.h"

using namespace glyphtint::archive;

std::optional<uint64_t> TZipDirManager::LocateEndRecord(const Signature& signature)
{
    archiveComment_.clear();
    endRecord_.fill(0);

    const uint64_t fileSize = stream_.Size();
    const size_t tail = static_cast<size_t>(std::min(fileSize, zipfmt::kEndRecordTail));
    std::vector<uint8_t> buffer(tail);
    if (stream_.ReadAt(fileSize - tail, buffer) != tail) {
        return std::nullopt;
    }
    const uint64_t tailStart = fileSize - tail;

    // The record nearest the end whose comment reaches exactly to the end of the
    // file wins; a signature inside a comment fails that test and is passed over.
    for (size_t i = tail; i-- > 3;) {
        if (buffer[i] != signature[3] || buffer[i - 1] != signature[2] || buffer[i - 2] != signature[1] ||
            buffer[i - 3] != signature[0]) {
            continue;
        }
        const size_t start = i - 3;
        if (tail - start < zipfmt::kEndRecordSize) {
            continue;
        }
        const std::span<const uint8_t> record(buffer.data() + start, zipfmt::kEndRecordSize);
        const uint16_t commentLength = LoadU16(record, zipfmt::kEndCommentLength);
        if (tail - (start + zipfmt::kEndRecordSize) != commentLength) {
            continue;
        }
        std::copy(record.begin(), record.end(), endRecord_.begin());
        const auto* comment = buffer.data() + start + zipfmt::kEndRecordSize;
        archiveComment_.assign(reinterpret_cast<const char*>(comment), commentLength);
        return tailStart + start;
    }
    return std::nullopt;
}
