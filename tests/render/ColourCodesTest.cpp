// The colour-code table and the coded-text scanner.
#include "render/ColourCodes.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

using glyphtint::render::ScanCodedText;
using glyphtint::render::SelectColourCode;
using glyphtint::render::TColourTriple;
using glyphtint::render::UnpackRGB;

namespace {

TColourTriple Triple(int r, int g, int b)
{
    return TColourTriple{r, g, b};
}

std::ostream& operator<<(std::ostream& out, const TColourTriple& c)
{
    return out << "(" << c.Red << ", " << c.Green << ", " << c.Blue << ")";
}

struct Drawn {
    unsigned char byte;
    TColourTriple colour;
    bool operator==(const Drawn&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Drawn& d)
{
    return out << "'" << d.byte << "' " << d.colour;
}

std::vector<Drawn> Scan(std::string_view text)
{
    std::vector<Drawn> drawn;
    ScanCodedText(text, [&](unsigned char byte, TColourTriple colour) { drawn.push_back({byte, colour}); });
    return drawn;
}

const TColourTriple kWhite = Triple(255, 255, 255);
const TColourTriple kRed = Triple(255, 4, 8);

} // namespace

TEST(ColourCodeTable, HoldsEightySevenCodesInThePrintableRange)
{
    int codes = 0;
    for (int byte = 0; byte < 256; ++byte) {
        TColourTriple colour = Triple(-1, -2, -3);
        const bool found = SelectColourCode(static_cast<unsigned char>(byte), colour);
        if (!found) {
            EXPECT_EQ(colour, Triple(-1, -2, -3)) << "a miss must leave the colour alone, byte " << byte;
            continue;
        }
        ++codes;
        EXPECT_GE(byte, 33);
        EXPECT_LE(byte, 125);
        for (int channel : {colour.Red, colour.Green, colour.Blue}) {
            EXPECT_GE(channel, 0);
            EXPECT_LE(channel, 255);
        }
    }
    EXPECT_EQ(codes, 87);
    for (unsigned char excluded : std::string("\"%;\\^`~ \t")) {
        TColourTriple colour;
        EXPECT_FALSE(SelectColourCode(excluded, colour)) << excluded;
    }
}

TEST(ColourCodeTable, SharedColoursAndCaseBlindLetters)
{
    const std::vector<std::pair<std::string, TColourTriple>> groups = {
        {"aA", Triple(230, 146, 41)},
        {"Zz[{", Triple(189, 186, 189)},
        {"]}", Triple(132, 130, 8)},
        {")Ii", Triple(247, 8, 58)},
        {"7Ww", kWhite},
        {"0", Triple(8, 4, 8)},
        {"1", kRed},
        {"'", Triple(198, 251, 198)},
        {"|", Triple(17, 126, 17)},
        {"_", Triple(115, 37, 25)},
        {"rR", Triple(0, 255, 0)},
        {"!", Triple(255, 154, 25)},
    };
    for (const auto& [codes, expected] : groups) {
        for (unsigned char code : codes) {
            TColourTriple colour;
            ASSERT_TRUE(SelectColourCode(code, colour)) << code;
            EXPECT_EQ(colour, expected) << "code " << code;
        }
    }

    // Apart from those groups every code has a colour of its own (a letter's two
    // cases counting as one code).
    std::map<std::tuple<int, int, int>, std::set<char>> byColour;
    for (int byte = 33; byte <= 125; ++byte) {
        TColourTriple colour;
        if (SelectColourCode(static_cast<unsigned char>(byte), colour)) {
            char key = static_cast<char>(byte >= 'a' && byte <= 'z' ? byte - 32 : byte);
            byColour[{colour.Red, colour.Green, colour.Blue}].insert(key);
        }
    }
    int shared = 0;
    for (const auto& [colour, codes] : byColour) {
        if (codes.size() > 1) {
            ++shared;
        }
    }
    EXPECT_EQ(shared, 4);
    EXPECT_EQ(byColour.size(), 87u - 26u - 5u) << "distinct colours";
}

TEST(UnpackRGB, IgnoresBitsAbove23)
{
    TColourTriple colour;
    UnpackRGB(0xAB123456, colour);
    EXPECT_EQ(colour, Triple(0x12, 0x34, 0x56));
}

struct ScanCase {
    const char* text;
    std::vector<Drawn> expected;
};

class Scanner : public ::testing::TestWithParam<ScanCase> { };

TEST_P(Scanner, DrawsTheExpectedBytesInTheirColours)
{
    EXPECT_EQ(Scan(GetParam().text), GetParam().expected) << "text: " << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    CodedTexts, Scanner,
    ::testing::Values(
        ScanCase{"", {}}, ScanCase{"^1m00", {{'m', kRed}, {'0', kRed}, {'0', kRed}}},
        ScanCase{"ab^", {{'a', kWhite}, {'b', kWhite}}}, ScanCase{"^^", {{'^', kWhite}}},
        ScanCase{"^^^", {{'^', kWhite}, {'^', kWhite}}}, ScanCase{"^^1a", {{'^', kWhite}, {'a', kRed}}},
        ScanCase{"^^ab", {{'^', kWhite}, {'b', Triple(230, 146, 41)}}}, ScanCase{"^1^ x", {{'x', kRed}}},
        ScanCase{"^1^%x^\"y^~z", {{'x', kRed}, {'y', kRed}, {'z', kRed}}}, ScanCase{"^1^\xC3x", {{'x', kRed}}},
        ScanCase{"^1^2", {}}, ScanCase{"a^1", {{'a', kWhite}}}, ScanCase{"\t\xFF", {{'\t', kWhite}, {0xFF, kWhite}}},
        ScanCase{"^1a^Rb c",
                 {{'a', kRed}, {'b', Triple(0, 255, 0)}, {' ', Triple(0, 255, 0)}, {'c', Triple(0, 255, 0)}}}));

TEST(ScannerFailure, AnExceptionEndsTheScanAtThatByte)
{
    std::string seen;
    EXPECT_THROW(ScanCodedText("abcd",
                               [&](unsigned char byte, TColourTriple) {
                                   seen += static_cast<char>(byte);
                                   if (byte == 'b')
                                       throw std::runtime_error("missing glyph");
                               }),
                 std::runtime_error);
    EXPECT_EQ(seen, "ab");
}

TEST(ScannerFailure, EveryRenderStartsWhite)
{
    EXPECT_EQ(Scan("^1a").front().colour, kRed);
    EXPECT_EQ(Scan("a").front().colour, kWhite);
}
