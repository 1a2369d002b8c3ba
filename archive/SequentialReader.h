// Buffered exact reads that walk forward through a file from a start position.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "io/FileStream.h"

namespace glyphtint::archive {

class SequentialReader {
public:
    SequentialReader(const glyphtint::io::FileStream& stream, uint64_t position);

    uint64_t Position() const { return position_; }

    // Fills out completely from the current position or throws EReadError.
    void Read(std::span<uint8_t> out);
    // Reads count bytes into a new buffer (allocated only as the bytes arrive).
    std::vector<uint8_t> ReadBytes(uint64_t count);

private:
    const glyphtint::io::FileStream& stream_;
    uint64_t position_;
    std::vector<uint8_t> buffer_;
    uint64_t bufferStart_ = 0; // file position of buffer_[0]
    size_t bufferFill_ = 0;
};

} // namespace glyphtint::archive
