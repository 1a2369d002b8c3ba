// Buffered exact reads that walk forward through a file from a start position.
#include "archive/SequentialReader.h"

#include <algorithm>
#include <cstring>

#include "io/StreamError.h"

namespace glyphtint::archive {
namespace {
constexpr size_t kBufferSize = 65536;
}

SequentialReader::SequentialReader(const glyphtint::io::FileStream& stream, uint64_t position)
    : stream_(stream), position_(position), buffer_(kBufferSize)
{
}

void SequentialReader::Read(std::span<uint8_t> out)
{
    size_t done = 0;
    while (done < out.size()) {
        const bool inBuffer = position_ >= bufferStart_ && position_ - bufferStart_ < bufferFill_;
        if (!inBuffer) {
            if (out.size() - done >= kBufferSize) {
                stream_.ReadExactAt(position_, out.subspan(done));
                position_ += out.size() - done;
                return;
            }
            bufferStart_ = position_;
            bufferFill_ = stream_.ReadAt(position_, buffer_);
            if (bufferFill_ == 0) {
                throw EReadError();
            }
            continue;
        }
        const size_t offset = static_cast<size_t>(position_ - bufferStart_);
        const size_t take = std::min(bufferFill_ - offset, out.size() - done);
        std::memcpy(out.data() + done, buffer_.data() + offset, take);
        done += take;
        position_ += take;
    }
}

std::vector<uint8_t> SequentialReader::ReadBytes(uint64_t count)
{
    // Grows in steps so that a length field cannot allocate more than the file holds.
    std::vector<uint8_t> out;
    while (out.size() < count) {
        const size_t step = static_cast<size_t>(std::min<uint64_t>(count - out.size(), kBufferSize));
        const size_t old = out.size();
        out.resize(old + step);
        Read(std::span<uint8_t>(out).subspan(old));
    }
    return out;
}

} // namespace glyphtint::archive
