// Bounds-checked little-endian reading of byte buffers, with a sticky failure flag.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace glyphtint::archive {

// Reads little-endian fields at fixed offsets; an offset whose field would
// reach past the end gives 0.
inline uint16_t LoadU16(std::span<const uint8_t> bytes, size_t offset)
{
    if (offset > bytes.size() || bytes.size() - offset < 2) {
        return 0;
    }
    return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

inline uint32_t LoadU32(std::span<const uint8_t> bytes, size_t offset)
{
    if (offset > bytes.size() || bytes.size() - offset < 4) {
        return 0;
    }
    return static_cast<uint32_t>(bytes[offset]) | (static_cast<uint32_t>(bytes[offset + 1]) << 8) |
           (static_cast<uint32_t>(bytes[offset + 2]) << 16) | (static_cast<uint32_t>(bytes[offset + 3]) << 24);
}

inline uint64_t LoadU64(std::span<const uint8_t> bytes, size_t offset)
{
    if (offset > bytes.size() || bytes.size() - offset < 8) {
        return 0;
    }
    return static_cast<uint64_t>(LoadU32(bytes, offset)) | (static_cast<uint64_t>(LoadU32(bytes, offset + 4)) << 32);
}

inline void StoreU32(std::span<uint8_t> bytes, size_t offset, uint32_t value)
{
    if (offset > bytes.size() || bytes.size() - offset < 4) {
        return;
    }
    for (int i = 0; i < 4; ++i) {
        bytes[offset + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
    }
}

inline void StoreU16(std::span<uint8_t> bytes, size_t offset, uint16_t value)
{
    if (offset > bytes.size() || bytes.size() - offset < 2) {
        return;
    }
    bytes[offset] = static_cast<uint8_t>(value);
    bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

// Sequential reader over a buffer. Once a read runs past the end, Ok() stays
// false and every later read gives zeros or an empty span.
class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) { }

    bool Ok() const { return ok_; }
    size_t Position() const { return pos_; }
    size_t Remaining() const { return ok_ ? bytes_.size() - pos_ : 0; }

    std::span<const uint8_t> Bytes(size_t count)
    {
        if (!ok_ || count > bytes_.size() - pos_) {
            ok_ = false;
            return {};
        }
        auto out = bytes_.subspan(pos_, count);
        pos_ += count;
        return out;
    }

    uint16_t U16() { return LoadU16(Bytes(2), 0); }
    uint32_t U32() { return LoadU32(Bytes(4), 0); }
    uint64_t U64() { return LoadU64(Bytes(8), 0); }

private:
    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
    bool ok_ = true;
};

} // namespace glyphtint::archive
