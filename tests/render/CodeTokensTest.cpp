// The tokenizer of coded text on hostile texts, and its readers agreeing with its tokens.
#include "render/CodeTokens.h"
#include "render/CodedTextInfo.h"
#include "render/ColourSamples.h"
#include "render/GlyphNames.h"
#include "render/PictureStyle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

using namespace glyphtint::render;

namespace {

// Each byte's kind as a letter: o opens a code, c is a code, s is swallowed, d is drawn.
std::string Kinds(std::string_view text, const CodeRules& rules = DefaultCodeRules())
{
    std::string kinds;
    CodeTokenizer tokens(text, rules);
    for (CodeToken token; tokens.Next(token);) {
        kinds += "ocsd"[static_cast<int>(token.kind)];
    }
    return kinds;
}

struct HostileCase {
    std::string text;
    std::string kinds;
};

class HostileTexts : public ::testing::TestWithParam<HostileCase> { };

} // namespace

TEST_P(HostileTexts, ReadersAgreeWithTheTokens)
{
    const std::string& text = GetParam().text;
    ASSERT_EQ(Kinds(text), GetParam().kinds);

    std::vector<std::pair<unsigned char, TColourTriple>> drawn;
    std::string shown;
    std::vector<std::string> codesUsed;        // in order of first use; '7' for a drawn byte before any
    std::vector<std::pair<char, int>> samples; // code and column, every glyph 1 column wide
    CodeTokenizer tokens(text);
    for (CodeToken token; tokens.Next(token);) {
        const bool drawnInStart = token.kind == ByteKind::Drawn && !token.code;
        const std::string code(1, static_cast<char>(drawnInStart ? '7' : token.byte));
        if ((token.kind == ByteKind::Code || drawnInStart) &&
            std::find(codesUsed.begin(), codesUsed.end(), code) == codesUsed.end()) {
            codesUsed.push_back(code);
        }
        if (token.kind == ByteKind::Drawn) {
            if (token.code) {
                samples.emplace_back(static_cast<char>(*token.code), static_cast<int>(drawn.size()));
            }
            drawn.emplace_back(token.byte, token.colour);
            shown += HasGlyph(token.byte) ? std::string(1, static_cast<char>(token.byte)) : "";
        }
    }

    std::vector<std::pair<unsigned char, TColourTriple>> scanned;
    ScanCodedText(text, [&](unsigned char byte, TColourTriple colour) { scanned.emplace_back(byte, colour); });
    EXPECT_EQ(scanned, drawn);
    EXPECT_EQ(DescribeCodedText(text).plainText, shown);
    // At 21:1 on the glyph background every colour changes, so every code in use is listed.
    PictureStyle strictest;
    strictest.minContrast = 21.0;
    EXPECT_EQ(AdjustedCodes(text, strictest), codesUsed);
    GlyphWidths widths;
    widths.fill(1);
    std::vector<std::pair<char, int>> sampled;
    for (const ColourSample& sample : ColourSamplesOf(text, widths, static_cast<int>(drawn.size()))) {
        sampled.emplace_back(sample.code, sample.left);
    }
    EXPECT_EQ(sampled, samples);
}

INSTANTIATE_TEST_SUITE_P(Tokens, HostileTexts,
                         ::testing::Values(HostileCase{"", ""}, HostileCase{"^", "s"}, HostileCase{"a^", "ds"},
                                           HostileCase{"a^1", "doc"}, HostileCase{"^^", "od"},
                                           HostileCase{"^^^", "odd"}, HostileCase{"^^1a", "odcd"},
                                           HostileCase{"^^^^7b", "odddcd"},
                                           HostileCase{std::string("^\0a\0", 4), "osdd"},
                                           HostileCase{"^\xC3\xA9^1\xFF", "osdocd"}, HostileCase{"x^ ^a^", "dosocs"},
                                           HostileCase{"^1^2^3", "ocococ"}));

// Rules are a value: a table where only digits are codes, a doubled caret is drawn and
// read again, and a caret at the end is drawn.
TEST(CodeRules, OtherRulesReadTheSameTextDifferently)
{
    CodeRules digits;
    digits.colours.fill(CodeRules::kNoCode);
    for (unsigned char code = '0'; code <= '9'; ++code) {
        digits.colours[code] = 0x010101u * (code - '0');
    }
    digits.startCode = '9';
    digits.startColour = 0x090909;
    digits.doubledCaret = DoubledCaret::CaretThenRead;
    digits.trailingCaretDrawn = true;

    EXPECT_EQ(Kinds("^^1a^", digits), "docdd");
    EXPECT_EQ(Kinds("^^1a^", DefaultCodeRules()), "odcds");
    EXPECT_EQ(Kinds("^ax", digits), "osd");
    EXPECT_EQ(Kinds("^ax"), "ocd");

    std::vector<TColourTriple> colours;
    ScanCodedText(
        "a^3b", [&](unsigned char, TColourTriple colour) { colours.push_back(colour); }, digits);
    EXPECT_EQ(colours, (std::vector<TColourTriple>{{9, 9, 9}, {3, 3, 3}}));

    EXPECT_EQ(TextDrawingOnly('^'), "^^");
    EXPECT_EQ(TextDrawingOnly('^', digits), "^");
    EXPECT_EQ(TextDrawingOnly('a'), "a");
}
