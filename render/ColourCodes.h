// Caret colour codes: the tint colour triple, the code table and the coded-text scanner.
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

// Splits a table colour written 0xRRGGBB; bits above 23 are ignored.
void UnpackRGB(std::uint32_t value, TColourTriple& colour);

// Sets colour to the code's table colour and returns true; returns false and leaves
// colour untouched when the byte is no colour code.
bool SelectColourCode(unsigned char code, TColourTriple& colour);

// Walks a coded text: '^' followed by a code byte changes the tint colour, "^^" draws a
// caret and stays after the caret, a byte after '^' that is no code is swallowed.
// Every byte to be drawn goes to drawByte with a copy of the tint colour, in text
// order. An exception thrown by drawByte ends the scan and passes out unchanged.
void ScanCodedText(std::string_view text, const std::function<void(unsigned char, TColourTriple)>& drawByte);

} // namespace glyphtint::render
