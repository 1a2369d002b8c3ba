// What a coded text amounts to: its length in bytes, in characters one sees, the
// characters that have no glyph, and the text as the picture shows it.
#pragma once

#include "render/ColourCodes.h"

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
    // read it (itself when it shows, "U+0009" for an invisible code point, "\xE9" for a
    // byte that is no part of valid UTF-8); at most kMaxUndrawnNames of them.
    std::vector<std::string> undrawnNames;
    // Set when more distinct undrawn characters occur than undrawnNames holds.
    bool moreUndrawnNames = false;
};

inline constexpr std::size_t kMaxUndrawnNames = 20;

CodedTextInfo DescribeCodedText(std::string_view text, const CodeRules& rules = DefaultCodeRules());

// The sentence that names what a text loses: "3 characters are not drawn: é ü 😀",
// ending in " …" when not every character is named; empty when everything is drawn.
std::string UndrawnCharactersNote(const CodedTextInfo& info);

} // namespace glyphtint::render
