// The tokenizer of coded text: what each byte is under a set of code rules, with the
// code and colour in force. Every reader of coded text (drawing, measuring, descriptions,
// palettes) reads these tokens rather than the bytes.
#pragma once

#include "render/ColourCodes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace glyphtint::render {

// The byte that opens a code.
inline constexpr unsigned char kCodeCaret = '^';

// What "^^" does.
enum class DoubledCaret : std::uint8_t {
    CaretThenCode, // draws one caret, and the byte after it is read as a code
    CaretThenRead, // the first caret is drawn and the second is read anew
};

// Which bytes are codes and how carets are read: a value, so that another table of codes
// is data handed to the same tokenizer.
struct CodeRules {
    static constexpr std::uint32_t kNoCode = 0xFFFFFFFFu;
    // The colour each byte after a caret selects, 0xRRGGBB, or kNoCode: then the caret
    // and the byte are both swallowed.
    std::array<std::uint32_t, 256> colours{};
    // Text before its first code is drawn in startColour, which is that of startCode.
    unsigned char startCode = '7';
    std::uint32_t startColour = 0xFFFFFF;
    DoubledCaret doubledCaret = DoubledCaret::CaretThenCode;
    // Whether a caret that ends the text is drawn (otherwise it is swallowed).
    bool trailingCaretDrawn = false;

    // The colour code selects, or nothing when it is no code.
    std::optional<TColourTriple> ColourOf(unsigned char code) const;
};

// glyphtint's own table of 87 codes.
const CodeRules& DefaultCodeRules();

enum class ByteKind : std::uint8_t {
    Caret,     // opens a code and draws nothing
    Code,      // selects the colour of the code; draws nothing
    Swallowed, // draws nothing and changes nothing
    Drawn,     // draws a glyph in the colour in force
};

struct CodeToken {
    ByteKind kind = ByteKind::Drawn;
    unsigned char byte = 0;
    // The code in force once this byte is read; nothing before the first code.
    std::optional<unsigned char> code;
    TColourTriple colour;
};

// Reads a coded text a byte at a time.
class CodeTokenizer {
public:
    // text and rules must outlive the tokenizer.
    explicit CodeTokenizer(std::string_view text, const CodeRules& rules = DefaultCodeRules());

    // Fills token with the next byte's and returns true; false at the end of the text.
    bool Next(CodeToken& token);

private:
    std::string_view text_;
    const CodeRules& rules_;
    std::size_t at_ = 0;
    bool afterCaret_ = false;
    std::optional<unsigned char> code_;
    TColourTriple colour_;
};

// Inline: every reader of a text calls it for every byte.
inline bool CodeTokenizer::Next(CodeToken& token)
{
    if (at_ == text_.size()) {
        return false;
    }
    const auto byte = static_cast<unsigned char>(text_[at_++]);
    ByteKind kind = ByteKind::Drawn;
    if (!afterCaret_) {
        if (byte == kCodeCaret) {
            if (at_ == text_.size()) {
                kind = rules_.trailingCaretDrawn ? ByteKind::Drawn : ByteKind::Swallowed;
            } else if (static_cast<unsigned char>(text_[at_]) == kCodeCaret &&
                       rules_.doubledCaret == DoubledCaret::CaretThenRead) {
                kind = ByteKind::Drawn;
            } else {
                kind = ByteKind::Caret;
                afterCaret_ = true;
            }
        }
    } else if (byte == kCodeCaret) {
        // Only CaretThenCode gets here: the caret is drawn, and the byte after it is still
        // read as a code.
    } else {
        afterCaret_ = false;
        const std::uint32_t written = rules_.colours[byte];
        if (written == CodeRules::kNoCode) {
            kind = ByteKind::Swallowed;
        } else {
            kind = ByteKind::Code;
            code_ = byte;
            UnpackRGB(written, colour_);
        }
    }
    token.kind = kind;
    token.byte = byte;
    token.code = code_;
    token.colour = colour_;
    return true;
}

// The shortest text that draws byte and nothing else ("^^" for a caret under the default
// rules); empty when no text of one or two bytes does.
std::string TextDrawingOnly(unsigned char byte, const CodeRules& rules = DefaultCodeRules());

} // namespace glyphtint::render
