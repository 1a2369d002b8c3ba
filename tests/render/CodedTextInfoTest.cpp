// DescribeCodedText: byte length, visible length and the text without its codes.
#include "render/CodedTextInfo.h"

#include <gtest/gtest.h>

using glyphtint::render::DescribeCodedText;

namespace {

struct InfoCase {
    const char* name;
    std::string text;
    std::size_t visible;
    std::string plain;
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
}

INSTANTIATE_TEST_SUITE_P(
    , CodedTextInfoTable,
    ::testing::Values(InfoCase{"Empty", "", 0, ""}, InfoCase{"OneCode", "^1m00", 3, "m00"},
                      InfoCase{"OnlyCodes", "^1^2", 0, ""}, InfoCase{"TrailingCaret", "ab^", 2, "ab"},
                      InfoCase{"DoubledCaretDrawsOneAndReadsACode", "^^1a", 2, "^a"},
                      InfoCase{"CaretSwallowsANonCode", "^ x", 1, "x"},
                      // A space draws a glyph; a tilde and the bytes of "é" reach the scan but draw none.
                      InfoCase{"BytesWithoutGlyph", "a b~\xC3\xA9", 3, "a b~\xC3\xA9"},
                      InfoCase{"CaretBeforeMultibyte", "^\xC3\xA9z", 1, "\xA9z"}),
    [](const auto& info) { return std::string(info.param.name); });
