// The byte-to-entry-name mapping of the glyph archive.
#include "render/GlyphNames.h"

#include <array>

namespace glyphtint::render {

std::string GlyphEntryName(unsigned char character)
{
    if (character >= '0' && character <= '9') {
        return std::string(1, static_cast<char>(character));
    }
    if (character >= 'a' && character <= 'z') {
        return std::string(1, static_cast<char>(character));
    }
    // Upper case is written twice so that names stay distinct without regard to case.
    if (character >= 'A' && character <= 'Z') {
        return std::string(2, static_cast<char>(character));
    }
    switch (character) {
    case ' ': return "spc";
    case '!': return "u1";
    case '#': return "u3";
    case '$': return "u4";
    case '&': return "u7";
    case '\'': return "mark";
    case '(': return "u9";
    case ')': return "u0";
    case '*': return "u8";
    case '+': return "plus";
    case ',': return "comma";
    case '-': return "-";
    case '.': return "dot";
    case '/': return "fwdslash";
    case ':': return "doubledot";
    case '<': return "smaller";
    case '=': return "is";
    case '>': return "larger";
    case '?': return "question";
    case '@': return "u2";
    case '[': return "blokopen";
    case ']': return "blokclose";
    case '^': return "u6";
    case '_': return "_";
    case '{': return "curveopen";
    case '|': return "straight";
    case '}': return "curveclose";
    default: return {};
    }
}

std::string FullGlyphEntryName(unsigned char character)
{
    std::string name = GlyphEntryName(character);
    if (!name.empty()) {
        name += ".jpg";
    }
    return name;
}

bool HasGlyph(unsigned char character)
{
    static const std::array<bool, 256> drawable = [] {
        std::array<bool, 256> table{};
        for (int byte = 0; byte < 256; ++byte) {
            table[static_cast<std::size_t>(byte)] = !GlyphEntryName(static_cast<unsigned char>(byte)).empty();
        }
        return table;
    }();
    return drawable[character];
}

std::string DrawableGlyphBytes()
{
    std::string bytes;
    for (int c = 0; c < 256; ++c) {
        if (HasGlyph(static_cast<unsigned char>(c))) {
            bytes += static_cast<char>(c);
        }
    }
    return bytes;
}

} // namespace glyphtint::render
