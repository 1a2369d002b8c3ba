// CodeTokenizer: the caret rules, read once, and glyphtint's table of codes.
#include "render/CodeTokens.h"

#include "render/NumberText.h"

namespace glyphtint::render {
namespace {

struct CodeColour {
    char code;
    std::uint32_t written; // 0xRRGGBB
};

// Letters are listed once in upper case; the rules add the lower-case twin.
// clang-format off
constexpr CodeColour kCodeColours[] = {
    {'!', 0xFF9A19}, {'#', 0x840884}, {'$', 0x117EE6}, {'&', 0x4292B5}, {'\'', 0xC6FBC6},
    {'(', 0x08653A}, {')', 0xF7083A}, {'*', 0xF7F7F7}, {'+', 0x944519}, {',', 0xBD9242},
    {'-', 0x949642}, {'.', 0xE6E7AD}, {'/', 0xDEDF7B}, {'0', 0x080408}, {'1', 0xFF0408},
    {'2', 0x08FF08}, {'3', 0xE6EB11}, {'4', 0x1110EF}, {'5', 0x08FBFF}, {'6', 0xF700F7},
    {'7', 0xFFFFFF}, {'8', 0xE67E11}, {'9', 0x7B7E7B}, {':', 0xBDBEBD}, {'<', 0x197E19},
    {'=', 0x84823A}, {'>', 0x11147B}, {'?', 0x7B0C08}, {'@', 0x7B593A}, {'A', 0xE69229},
    {'B', 0x008284}, {'C', 0x7B007B}, {'D', 0x007EF7}, {'E', 0x8400FF}, {'F', 0x3196C6},
    {'G', 0xBDEFBD}, {'H', 0x006531}, {'I', 0xF7083A}, {'J', 0xB51819}, {'K', 0x9C3D11},
    {'L', 0xC6963A}, {'M', 0x9C9A31}, {'N', 0xF7FBBD}, {'O', 0xEFEB7B}, {'P', 0x110C11},
    {'Q', 0xDE1411}, {'R', 0x00FF00}, {'S', 0xDEDF19}, {'T', 0x0004F7}, {'U', 0x00FBF7},
    {'V', 0xEF08EF}, {'W', 0xFFFFFF}, {'X', 0xEF7E08}, {'Y', 0x847E84}, {'Z', 0xBDBABD},
    {'[', 0xBDBABD}, {']', 0x848208}, {'_', 0x732519}, {'{', 0xBDBABD}, {'|', 0x117E11},
    {'}', 0x848208},
};
// clang-format on

constexpr CodeRules BuildDefaultRules()
{
    CodeRules rules;
    rules.colours.fill(CodeRules::kNoCode);
    for (const CodeColour& c : kCodeColours) {
        const auto code = static_cast<unsigned char>(c.code);
        rules.colours[code] = c.written;
        if (code >= 'A' && code <= 'Z') {
            rules.colours[code - 'A' + 'a'] = c.written;
        }
    }
    rules.startCode = '7';
    rules.startColour = rules.colours['7'];
    return rules;
}

constexpr CodeRules kDefaultRules = BuildDefaultRules();

TColourTriple Unpacked(std::uint32_t written)
{
    TColourTriple colour;
    UnpackRGB(written, colour);
    return colour;
}

} // namespace

std::optional<TColourTriple> CodeRules::ColourOf(unsigned char code) const
{
    switch (colours[code]) {
    case kNoCode:
    case kShortHexMark:
    case kLongHexMark: return std::nullopt;
    case kStartColourCode: return Unpacked(startColour);
    default: return Unpacked(colours[code]);
    }
}

const CodeRules& DefaultCodeRules()
{
    return kDefaultRules;
}

CodeTokenizer::CodeTokenizer(std::string_view text, const CodeRules& rules)
    : text_(text), rules_(rules), colour_(Unpacked(rules.startColour))
{
}

std::optional<TColourTriple> CodeTokenizer::HexColourAt(std::size_t from, std::size_t count) const
{
    if (text_.size() - from < count) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (const char digit : text_.substr(from, count)) {
        const int nibble = HexDigit(digit);
        if (nibble < 0) {
            return std::nullopt;
        }
        // A short digit stands for both nibbles of its byte: F is FF.
        value = (value << (count == 3 ? 8 : 4)) | static_cast<std::uint32_t>(count == 3 ? nibble * 17 : nibble);
    }
    return Unpacked(value);
}

std::string TextDrawingOnly(unsigned char byte, const CodeRules& rules)
{
    const std::string alone(1, static_cast<char>(byte));
    for (const std::string& text : {alone, std::string{static_cast<char>(kCodeCaret), static_cast<char>(byte)}}) {
        CodeTokenizer tokens(text, rules);
        CodeToken token;
        std::string drawn;
        while (tokens.Next(token)) {
            if (token.kind == ByteKind::Drawn) {
                drawn += static_cast<char>(token.byte);
            }
        }
        if (drawn == alone) {
            return text;
        }
    }
    return {};
}

} // namespace glyphtint::render
