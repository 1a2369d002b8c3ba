// Conversion of entry names from the OEM code page 437 to UTF-8.
#pragma once

#include <span>
#include <string>

namespace glyphtint::archive {

// Converts code page 437 bytes to UTF-8: bytes below 0x80 stay as they are,
// the upper half maps to its Unicode characters.
std::string Cp437ToUtf8(std::span<const unsigned char> bytes);

} // namespace glyphtint::archive
