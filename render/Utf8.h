// Reading UTF-8, the encoding of the window's text boxes, in texts that may hold any bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace glyphtint::render {

// The length of the valid UTF-8 sequence at the start of bytes (1 to 4), or 0 when they
// start none: an empty view, a stray continuation byte, an overlong form, a surrogate, a
// code point past U+10FFFF or a sequence cut short.
std::size_t Utf8SequenceLength(std::string_view bytes);

// The code point of one valid UTF-8 sequence, as Utf8SequenceLength measured it.
std::uint32_t DecodeUtf8(std::string_view sequence);

} // namespace glyphtint::render
