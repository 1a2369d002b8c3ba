// The lines of a batch's input, each held only up to the longest coded text: a longer
// line is told apart as soon as its bytes past the limit have come, and its rest is read
// past without being kept.
#pragma once

#include "render/TextLimits.h"

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

namespace glyphtint::tools {

// The longest line a batch draws, without its line end.
inline constexpr std::size_t kMaxLineBytes = render::kMaxTextBytes;

// How far a line too long to be a text is read on in search of its end: 64 times the
// longest text. Past that the input (/dev/zero, a disk image) is taken for what it is.
inline constexpr std::size_t kMaxSkippedLineBytes = std::size_t{64} << 20;

class BoundedLines {
public:
    enum class Kind { Text, TooLong, End };

    explicit BoundedLines(std::istream& in);

    // The next line's text without its LF or CRLF (a last line without an end
    // included), TooLong with text empty for a line of more than kMaxLineBytes, or End.
    // Reads no further than what has arrived, so that lines from a pipe are drawn as they
    // come. Before the line after a TooLong one, the rest of that is skipped. Raises
    // EStreamError when the input cannot be read, or when a line runs on past
    // kMaxSkippedLineBytes: the rest of such an input is not read.
    Kind Next(std::string& text);

private:
    bool Fill();
    void SkipRest();

    std::istream& in_;
    std::vector<char> chunk_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool skipping_ = false;
    std::size_t skipped_ = 0;
};

} // namespace glyphtint::tools
