// What a coded text amounts to: its length in bytes, in characters one sees, and its
// characters without the colour codes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace glyphtint::render {

struct CodedTextInfo {
    std::size_t byteLength = 0;
    // The characters that draw a glyph.
    std::size_t visibleLength = 0;
    // Every byte the scan hands on for drawing, in order: the text with each colour code
    // (and each byte a caret swallows) removed, a doubled caret kept as one caret.
    std::string plainText;
};

CodedTextInfo DescribeCodedText(std::string_view text);

} // namespace glyphtint::render
