// What a coded text amounts to: its length in bytes, in characters one sees, the
// characters that have no glyph, and the text as the picture shows it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace glyphtint::render {

struct CodedTextInfo {
    std::size_t byteLength = 0;
    // The characters that draw a glyph.
    std::size_t visibleLength = 0;
    // The characters the scan hands on for drawing that have no glyph and so vanish from
    // the picture. A run of such bytes is read as UTF-8, the window's encoding: a valid
    // sequence ("é", an emoji) counts as one character, every other byte as one.
    std::size_t undrawnLength = 0;
    // The characters that draw a glyph, in order: the text as the picture shows it, with
    // every colour code, every byte a caret swallows and every undrawn character removed,
    // a doubled caret kept as one caret.
    std::string plainText;
    // Each distinct undrawn character once, in order of first appearance, as a person can
    // read it (see UndrawnCharacterName); at most kMaxUndrawnNames of them.
    std::vector<std::string> undrawnNames;
    // Set when more distinct undrawn characters occur than undrawnNames holds.
    bool moreUndrawnNames = false;
};

inline constexpr std::size_t kMaxUndrawnNames = 20;

CodedTextInfo DescribeCodedText(std::string_view text);

// A character without glyph as UTF-8 a person can read: itself when it shows ("é",
// "~"), "U+0009" for a control or invisible code point, "\xE9" for a byte that is no
// part of valid UTF-8. character is one valid UTF-8 sequence or one single byte.
std::string UndrawnCharacterName(std::string_view character);

// The sentence that names what a text loses: "3 characters are not drawn: é ü 😀",
// ending in " …" when not every character is named; empty when everything is drawn.
std::string UndrawnCharactersNote(const CodedTextInfo& info);

} // namespace glyphtint::render
