// DescribeCodedText: byte length, visible length, the undrawn characters and the text
// without its codes.
#include "render/CodedTextInfo.h"

#include <gtest/gtest.h>

using glyphtint::render::DescribeCodedText;
using glyphtint::render::UndrawnCharactersNote;

namespace {

struct InfoCase {
    const char* name;
    std::string text;
    std::size_t visible;
    std::string plain;
    std::size_t undrawn = 0;
    std::string note = "";
};

class CodedTextInfoTable : public ::testing::TestWithParam<InfoCase> { };

} // namespace

TEST_P(CodedTextInfoTable, CountsWhatIsDrawn)
{
    const InfoCase& c = GetParam();
    const auto info = DescribeCodedText(c.text);
    EXPECT_EQ(info.byteLength, c.text.size());
    EXPECT_EQ(info.visibleLength, c.visible);
    EXPECT_EQ(info.plainText, c.plain);
    EXPECT_EQ(info.undrawnLength, c.undrawn);
    EXPECT_EQ(UndrawnCharactersNote(info), c.note);
}

INSTANTIATE_TEST_SUITE_P(
    , CodedTextInfoTable,
    ::testing::Values(
        InfoCase{"Empty", "", 0, ""}, InfoCase{"OneCode", "^1m00", 3, "m00"}, InfoCase{"OnlyCodes", "^1^2", 0, ""},
        InfoCase{"TrailingCaret", "ab^", 2, "ab"}, InfoCase{"DoubledCaretDrawsOneAndReadsACode", "^^1a", 2, "^a"},
        InfoCase{"CaretSwallowsANonCode", "^ x", 1, "x"},
        // A tilde and the two bytes of "é" reach the scan but draw nothing.
        InfoCase{"BytesWithoutGlyph", "a b~\xC3\xA9", 3, "a b", 2, "2 characters are not drawn: ~ \xC3\xA9"},
        InfoCase{"OneUndrawn", "^1m\xC3\xBC", 1, "m", 1, "1 character is not drawn: \xC3\xBC"},
        // Each undrawn character is named once, the emoji's four bytes as one character.
        InfoCase{"RepeatsNamedOnce", "\xC3\xA9x\xC3\xBC\xC3\xA9y\xF0\x9F\x98\x80", 2, "xy", 4,
                 "4 characters are not drawn: \xC3\xA9 \xC3\xBC \xF0\x9F\x98\x80"},
        InfoCase{"ControlsByCodePoint", "a\tb\x7F\xC2\xA0", 2, "ab", 3,
                 "3 characters are not drawn: U+0009 U+007F U+00A0"},
        // The caret swallows the first byte of "é"; the second is no UTF-8 on its own, nor
        // is a Latin-1 byte, an overlong slash or an encoded surrogate.
        InfoCase{"CaretBeforeMultibyte", "^\xC3\xA9z", 1, "z", 1, "1 character is not drawn: \\xA9"},
        InfoCase{"InvalidUtf8ByteByByte", "\xE9z\xC0\xAF\xED\xA0\x80", 1, "z", 6,
                 "6 characters are not drawn: \\xE9 \\xC0 \\xAF \\xED \\xA0 \\x80"},
        InfoCase{"CutSequence", "\xF0\x9F\x98", 0, "", 3, "3 characters are not drawn: \\xF0 \\x9F \\x98"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UndrawnCharactersNote, NamesAtMostTwentyAndSaysSo)
{
    std::string text;
    for (unsigned char byte = 0x80; byte < 0x80 + 25; ++byte) {
        text += static_cast<char>(byte);
    }
    const auto info = DescribeCodedText(text);
    EXPECT_EQ(info.undrawnLength, 25u);
    const std::string note = UndrawnCharactersNote(info);
    EXPECT_EQ(note.rfind("25 characters are not drawn: \\x80 \\x81 ", 0), 0u) << note;
    EXPECT_NE(note.find("\\x93 \xE2\x80\xA6"), std::string::npos) << note;
    EXPECT_EQ(note.find("\\x94"), std::string::npos) << note;
}
