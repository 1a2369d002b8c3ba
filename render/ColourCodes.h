// Caret colour codes: the tint colour triple, the default code table and the scan of the
// bytes a coded text draws.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace glyphtint::render {

// The RGB triple of a tint colour; values from the code table lie in 0..255.
struct TColourTriple {
    std::int32_t Red = 0;
    std::int32_t Green = 0;
    std::int32_t Blue = 0;
    bool operator==(const TColourTriple&) const = default;
};

struct CodeRules;
const CodeRules& DefaultCodeRules();

// Splits a table colour written 0xRRGGBB; bits above 23 are ignored.
void UnpackRGB(std::uint32_t value, TColourTriple& colour);

// Sets colour to the code's colour in the default rules and returns true; returns false
// and leaves colour untouched when the byte is no colour code.
bool SelectColourCode(unsigned char code, TColourTriple& colour);

// Hands every byte the rules draw to drawByte with the colour it is drawn in, in text
// order (see CodeTokenizer). An exception thrown by drawByte ends the scan and passes out
// unchanged.
void ScanCodedText(std::string_view text, const std::function<void(unsigned char, TColourTriple)>& drawByte,
                   const CodeRules& rules = DefaultCodeRules());

} // namespace glyphtint::render
