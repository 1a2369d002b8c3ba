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

// What "^^" does when the table does not make "^" a code.
enum class DoubledCaret : std::uint8_t {
    CaretThenCode, // draws one caret, and the byte after it is read as a code
    CaretThenRead, // the first caret is drawn and the second is read anew
    OneCaret,      // draws one caret, and the byte after the pair is read anew
};

// Which bytes are codes and how carets are read: a value, so that another table of codes
// is data handed to the same tokenizer.
struct CodeRules {
    static constexpr std::uint32_t kNoCode = 0xFFFFFFFFu;
    // Entries of colours that are no colour of their own: back to startColour, and the marks
    // of a hex colour of three digits (^xF80, each digit d giving d * 17) or six (^#FF8000).
    static constexpr std::uint32_t kStartColourCode = 0xFFFFFFFEu;
    static constexpr std::uint32_t kShortHexMark = 0xFFFFFFFDu;
    static constexpr std::uint32_t kLongHexMark = 0xFFFFFFFCu;
    // The colour each byte after a caret selects, 0xRRGGBB, one of the entries above, or
    // kNoCode: then the caret and the byte are both swallowed, or see strayCaretDrawn.
    std::array<std::uint32_t, 256> colours{};
    // Text before its first code is drawn in startColour, which is that of startCode.
    unsigned char startCode = '7';
    std::uint32_t startColour = 0xFFFFFF;
    DoubledCaret doubledCaret = DoubledCaret::CaretThenCode;
    // Whether a caret that ends the text is drawn (otherwise it is swallowed).
    bool trailingCaretDrawn = false;
    // Whether a caret before a byte that is no code (nor a hex mark with its digits) is
    // drawn, the byte then read anew; otherwise both are swallowed.
    bool strayCaretDrawn = false;

    // The colour code selects, or nothing when it is no code of one byte.
    std::optional<TColourTriple> ColourOf(unsigned char code) const;
};

// glyphtint's own table of 87 codes.
const CodeRules& DefaultCodeRules();

enum class ByteKind : std::uint8_t {
    Caret,     // opens a code and draws nothing
    Code,      // selects the colour of the code; draws nothing
    Swallowed, // draws nothing and changes nothing
    Drawn,     // draws a glyph in the colour in force
    CodeDigit, // a hex digit of the code before it; draws nothing
};

struct CodeToken {
    ByteKind kind = ByteKind::Drawn;
    unsigned char byte = 0;
    // The code in force once this byte is read (its byte after the caret: 'x' for ^xF80);
    // nothing before the first code.
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
    enum class State : std::uint8_t {
        Text,         // between codes
        Code,         // after a caret: the next byte is read as a code
        EscapedCaret, // after the first caret of a pair that draws one
        HexMark,      // after a caret whose hex colour follows
        HexDigits,    // within the digits of a hex colour
    };

    ByteKind ReadCaret();
    ByteKind ReadInCode(unsigned char byte);
    // The colour of the hex digits starting at from, or nothing unless all count are there.
    std::optional<TColourTriple> HexColourAt(std::size_t from, std::size_t count) const;

    std::string_view text_;
    const CodeRules& rules_;
    std::size_t at_ = 0;
    State state_ = State::Text;
    std::uint8_t digitsLeft_ = 0;
    std::optional<unsigned char> code_;
    TColourTriple colour_;
    TColourTriple hexColour_;
};

// Inline: every reader of a text calls it for every byte, and most bytes are plain text.
inline bool CodeTokenizer::Next(CodeToken& token)
{
    if (at_ == text_.size()) {
        return false;
    }
    const auto byte = static_cast<unsigned char>(text_[at_++]);
    ByteKind kind = ByteKind::Drawn;
    if (state_ != State::Text) {
        kind = ReadInCode(byte);
    } else if (byte == kCodeCaret) {
        kind = ReadCaret();
    }
    token.kind = kind;
    token.byte = byte;
    token.code = code_;
    token.colour = colour_;
    return true;
}

inline ByteKind CodeTokenizer::ReadCaret()
{
    if (at_ == text_.size()) {
        return rules_.trailingCaretDrawn ? ByteKind::Drawn : ByteKind::Swallowed;
    }
    const auto next = static_cast<unsigned char>(text_[at_]);
    const std::uint32_t entry = rules_.colours[next];
    if (entry == CodeRules::kShortHexMark || entry == CodeRules::kLongHexMark) {
        const std::size_t digits = entry == CodeRules::kShortHexMark ? 3 : 6;
        if (const std::optional<TColourTriple> colour = HexColourAt(at_ + 1, digits)) {
            hexColour_ = *colour;
            digitsLeft_ = static_cast<std::uint8_t>(digits);
            state_ = State::HexMark;
            return ByteKind::Caret;
        }
    } else if (entry != CodeRules::kNoCode) {
        state_ = State::Code;
        return ByteKind::Caret;
    } else if (next == kCodeCaret) {
        switch (rules_.doubledCaret) {
        case DoubledCaret::CaretThenCode: state_ = State::Code; return ByteKind::Caret;
        case DoubledCaret::CaretThenRead: return ByteKind::Drawn;
        case DoubledCaret::OneCaret: state_ = State::EscapedCaret; return ByteKind::Caret;
        }
    }
    if (rules_.strayCaretDrawn) {
        return ByteKind::Drawn;
    }
    state_ = State::Code;
    return ByteKind::Caret;
}

inline ByteKind CodeTokenizer::ReadInCode(unsigned char byte)
{
    switch (state_) {
    case State::Code: {
        const std::uint32_t entry = rules_.colours[byte];
        if (byte == kCodeCaret && entry == CodeRules::kNoCode) {
            // Only CaretThenCode gets here: the caret is drawn, and the byte after it is
            // still read as a code.
            return ByteKind::Drawn;
        }
        state_ = State::Text;
        if (entry == CodeRules::kNoCode || entry == CodeRules::kShortHexMark || entry == CodeRules::kLongHexMark) {
            return ByteKind::Swallowed;
        }
        code_ = byte;
        UnpackRGB(entry == CodeRules::kStartColourCode ? rules_.startColour : entry, colour_);
        return ByteKind::Code;
    }
    case State::HexMark:
        code_ = byte;
        colour_ = hexColour_;
        state_ = State::HexDigits;
        return ByteKind::Code;
    case State::HexDigits:
        if (--digitsLeft_ == 0) {
            state_ = State::Text;
        }
        return ByteKind::CodeDigit;
    case State::EscapedCaret:
    case State::Text: break;
    }
    state_ = State::Text;
    return ByteKind::Drawn;
}

// The shortest text that draws byte and nothing else ("^^" for a caret under the default
// rules); empty when no text of one or two bytes does.
std::string TextDrawingOnly(unsigned char byte, const CodeRules& rules = DefaultCodeRules());

} // namespace glyphtint::render
