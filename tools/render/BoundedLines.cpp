// BoundedLines: chunks of what has arrived, searched for line ends, kept up to the limit.
#include "tools/render/BoundedLines.h"

#include "io/StreamError.h"

#include <cstring>
#include <istream>
#include <string>

namespace glyphtint::tools {

BoundedLines::BoundedLines(std::istream& in) : in_(in), chunk_(std::size_t{1} << 16)
{
}

BoundedLines::Kind BoundedLines::Next(std::string& text)
{
    if (skipping_) {
        SkipRest();
    }
    text.clear();
    bool started = false;
    // One byte more than a text may have, for the CR of a CRLF.
    const std::size_t held = kMaxLineBytes + 1;
    while (begin_ < end_ || Fill()) {
        started = true;
        const char* start = chunk_.data() + begin_;
        const std::size_t available = end_ - begin_;
        const auto* lineEnd = static_cast<const char*>(std::memchr(start, '\n', available));
        const std::size_t length = lineEnd ? static_cast<std::size_t>(lineEnd - start) : available;
        if (text.size() + length > held) {
            skipped_ = text.size() + length;
            begin_ += length + (lineEnd ? 1 : 0);
            skipping_ = lineEnd == nullptr;
            text.clear();
            return Kind::TooLong;
        }
        text.append(start, length);
        begin_ += length;
        if (lineEnd) {
            ++begin_;
            break;
        }
    }
    if (!started) {
        return Kind::End;
    }
    if (!text.empty() && text.back() == '\r') {
        text.pop_back();
    }
    if (text.size() > kMaxLineBytes) {
        text.clear();
        return Kind::TooLong;
    }
    return Kind::Text;
}

// Reads what has arrived, at least one byte; false at the end of the input.
bool BoundedLines::Fill()
{
    begin_ = end_ = 0;
    if (in_.peek() == std::char_traits<char>::eof()) {
        if (in_.bad()) {
            throw EStreamError("Cannot read standard input");
        }
        return false;
    }
    std::streamsize got = in_.readsome(chunk_.data(), static_cast<std::streamsize>(chunk_.size()));
    // A stream without a buffer of its own tells nothing of what is waiting.
    if (got <= 0 && in_.get(chunk_[0])) {
        got = 1;
    }
    end_ = got > 0 ? static_cast<std::size_t>(got) : 0;
    return end_ > 0;
}

void BoundedLines::SkipRest()
{
    skipping_ = false;
    while (begin_ < end_ || Fill()) {
        const char* start = chunk_.data() + begin_;
        const std::size_t available = end_ - begin_;
        if (const auto* lineEnd = static_cast<const char*>(std::memchr(start, '\n', available))) {
            begin_ += static_cast<std::size_t>(lineEnd - start) + 1;
            return;
        }
        begin_ = end_;
        skipped_ += available;
        if (skipped_ > kMaxSkippedLineBytes) {
            throw EStreamError("The input is no list of texts: a line runs on past " +
                               std::to_string(kMaxSkippedLineBytes >> 20) +
                               " MiB without a line end, and the rest of the input is not read");
        }
    }
}

} // namespace glyphtint::tools
