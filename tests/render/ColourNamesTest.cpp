// Colours in words: every code has a name that tells it from the codes around it, and a
// picture is told run by run in the colours it is drawn in.
#include "render/ColourNames.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace glyphtint::render;

TEST(ColourNames, EveryCodeIsNamedAndTheTenDigitsApart)
{
    for (int byte = 0; byte < 256; ++byte) {
        TColourTriple colour;
        const bool isCode = SelectColourCode(static_cast<unsigned char>(byte), colour);
        EXPECT_EQ(ColourCodeName(static_cast<unsigned char>(byte)).empty(), !isCode) << byte;
    }
    // The digits are the codes players use most; each looks unlike the others.
    std::set<std::string_view> digitNames;
    for (const char code : std::string("0123456789")) {
        digitNames.insert(ColourCodeName(static_cast<unsigned char>(code)));
    }
    EXPECT_EQ(digitNames.size(), 10u);
    EXPECT_EQ(ColourCodeName('1'), "red");
    EXPECT_EQ(ColourCodeName('0'), "black");
    EXPECT_EQ(ColourCodeName('>'), "navy");
    EXPECT_EQ(ColourCodeName('B'), "teal");
    // Shades of one hue keep apart: light, full and dark.
    EXPECT_EQ(ColourCodeName('?'), "dark red");
    EXPECT_EQ(ColourCodeName('G'), "light green");
    EXPECT_EQ(ColourCodeName(':'), "light grey");
    EXPECT_EQ(ColourCodeName('P'), "black");
}

TEST(ColourNames, APictureIsToldRunByRun)
{
    const struct {
        const char* text;
        const char* told;
    } cases[] = {
        {"^1m00", "m00 in red"},
        {"m00", "m00 in white"}, // before any code: the start colour
        {"^1m00 ^7says ^4Hi", "m00 in red, says in white, Hi in blue"},
        {"^1ab ^7 ^1cd", "ab cd in red"},   // a run of spaces alone is no run
        {"^1a^Qb", "ab in red"},            // two codes, one name
        {"^1caf\xC3\xA9^^", "caf^ in red"}, // undrawn bytes vanish, "^^" is a caret
        {"^1^2", ""},                       // codes alone draw nothing
        {"", ""},
        {"^1   ", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DescribePicture(c.text), c.told) << c.text;
    }
}

TEST(ColourNames, LegibleTintsAreToldAsDrawn)
{
    PictureStyle dark;
    dark.background = StripBackground::Colour;
    dark.backgroundColour = {30, 30, 30};
    EXPECT_EQ(DescribePicture("^0Dark ^1Red", dark), "Dark in black, Red in red");
    dark.minContrast = 3.0;
    // Black lightened until it reads on the dark page is no longer black.
    EXPECT_EQ(DescribePicture("^0Dark ^1Red", dark), "Dark in grey, Red in red");
}
