// ColourSampleAt: which code a column of a centred strip shows, for strips narrower and
// wider than their image.
#include "render/ColourSamples.h"

#include <gtest/gtest.h>

using glyphtint::render::ColourSample;
using glyphtint::render::ColourSampleAt;
using glyphtint::render::GlyphWidths;

namespace {

struct SampleCase {
    const char* name;
    int imageWidth;
    int x;
    std::optional<ColourSample> expected;
};

// "^1a^2b^^3c" draws a in code 1, b and a caret in code 2, c in code 3: 5 + 7 + 4 + 6 =
// 22 columns. "x" before any code and the glyphless byte 0x01 draw in the start colour.
constexpr const char* kText = "x\x01^1a^2b^^3c";

GlyphWidths Widths()
{
    GlyphWidths widths{};
    widths['x'] = 3;
    widths['a'] = 5;
    widths['b'] = 7;
    widths['^'] = 4;
    widths['c'] = 6;
    return widths;
}

class ColourSampleTable : public ::testing::TestWithParam<SampleCase> { };

} // namespace

TEST_P(ColourSampleTable, FindsTheGlyphUnderTheColumn)
{
    const SampleCase& c = GetParam();
    const std::optional<ColourSample> found = ColourSampleAt(kText, Widths(), c.imageWidth, c.x);
    ASSERT_EQ(found.has_value(), c.expected.has_value());
    if (found) {
        EXPECT_EQ(found->code, c.expected->code);
        EXPECT_EQ(found->left, c.expected->left);
        EXPECT_EQ(found->width, c.expected->width);
    }
}

// The strip is 25 columns wide with "x" (3) in front: in a 35-column image it starts at 5,
// in a 36-column one at 5 too (11 / 2), in a 10-column one at -7 (-15 / 2 toward zero).
INSTANTIATE_TEST_SUITE_P(, ColourSampleTable,
                         ::testing::Values(SampleCase{"LeftOfTheStrip", 35, 4, std::nullopt},
                                           SampleCase{"BeforeAnyCode", 35, 6, std::nullopt},
                                           SampleCase{"FirstColumnOfA", 35, 8, ColourSample{'1', 8, 5}},
                                           SampleCase{"FirstColumnOfB", 35, 13, ColourSample{'2', 13, 7}},
                                           SampleCase{"TheCaretKeepsItsCode", 35, 23, ColourSample{'2', 20, 4}},
                                           SampleCase{"LastColumnOfC", 35, 29, ColourSample{'3', 24, 6}},
                                           SampleCase{"RightOfTheStrip", 35, 30, std::nullopt},
                                           SampleCase{"OddDifferenceRoundsDown", 36, 8, ColourSample{'1', 8, 5}},
                                           SampleCase{"GlyphCutAtTheLeftEnd", 10, 0, ColourSample{'1', -4, 5}},
                                           SampleCase{"LastColumnOfAWideStrip", 10, 9, ColourSample{'2', 8, 4}},
                                           SampleCase{"OutsideTheImage", 10, 10, std::nullopt},
                                           SampleCase{"NegativeColumn", 35, -1, std::nullopt}),
                         [](const auto& info) { return info.param.name; });
