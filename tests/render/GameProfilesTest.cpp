// The game profiles against a table of texts as each game draws them, and their lookup
// and limits.
#include "render/GameProfiles.h"
#include "render/ColourSamples.h"
#include "render/PictureStyle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace glyphtint::render;

namespace {

struct GameText {
    std::string game;
    std::string text;
    std::string drawn;
    std::string colours;
    std::string source;
    int line = 0;
};

std::vector<GameText> ReadGameTexts()
{
    std::ifstream file(std::string(GLYPHTINT_TEST_DATA) + "/games/game-texts.tsv");
    std::vector<GameText> rows;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::vector<std::string> fields;
        std::stringstream columns(line);
        for (std::string field; std::getline(columns, field, '\t');) {
            fields.push_back(field);
        }
        fields.resize(5);
        rows.push_back({fields[0], fields[1], fields[2], fields[3], fields[4], number});
    }
    return rows;
}

class GameTexts : public ::testing::TestWithParam<GameText> { };

} // namespace

TEST(GameTextsTable, IsReadAndCoversEveryProfile)
{
    const std::vector<GameText> rows = ReadGameTexts();
    ASSERT_GE(rows.size(), 40u);
    for (const GameProfile& profile : GameProfiles()) {
        EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&](const GameText& row) { return row.game == profile.id; }))
            << profile.id;
    }
}

TEST_P(GameTexts, DrawnAsTheGameDrawsThem)
{
    const GameText& row = GetParam();
    SCOPED_TRACE("game-texts.tsv line " + std::to_string(row.line) + ": " + row.source);
    const GameProfile* profile = FindGameProfile(row.game);
    ASSERT_NE(profile, nullptr);
    std::string drawn;
    std::string colours;
    ScanCodedText(
        row.text,
        [&](unsigned char byte, TColourTriple colour) {
            char value[8];
            std::snprintf(value, sizeof value, "%02x%02x%02x", colour.Red, colour.Green, colour.Blue);
            drawn += static_cast<char>(byte);
            colours += (colours.empty() ? "" : " ") + std::string(value);
        },
        profile->rules);
    EXPECT_EQ(drawn, row.drawn);
    EXPECT_EQ(colours.empty() ? "-" : colours, row.colours);
}

INSTANTIATE_TEST_SUITE_P(Games, GameTexts, ::testing::ValuesIn(ReadGameTexts()),
                         [](const ::testing::TestParamInfo<GameText>& info) {
                             return info.param.game + "_line" + std::to_string(info.param.line);
                         });

TEST(GameProfiles, AreFoundByIdAndGlyphtintIsTheDefault)
{
    EXPECT_EQ(DefaultGameProfile().id, "glyphtint");
    EXPECT_EQ(DefaultGameProfile().rules.colours, DefaultCodeRules().colours);
    EXPECT_EQ(&GameProfiles().front(), &DefaultGameProfile());
    ASSERT_NE(FindGameProfile("xonotic"), nullptr);
    EXPECT_EQ(FindGameProfile("xonotic")->title, "Xonotic");
    EXPECT_EQ(FindGameProfile("Xonotic"), nullptr) << "ids are matched exactly";
    EXPECT_EQ(FindGameProfile(""), nullptr);
    EXPECT_EQ(FindGameProfile("quake"), nullptr);
    EXPECT_EQ(KnownGameIds(), "glyphtint, quake3, ioquake3, openarena, tremulous, urbanterror, jka, openjk, warsow, "
                              "etlegacy, unvanquished, xonotic, doom3");
}

TEST(GameProfiles, NamesAreMeasuredAgainstTheGamesLimits)
{
    const GameProfile& warsow = *FindGameProfile("warsow");
    // Within the bytes, over the 15 characters shown.
    const NameLength warsowName = MeasureName("^1abcdefghijklmnop^2\xC3\xA9^^", warsow);
    EXPECT_EQ(warsowName.bytes, 24u);
    EXPECT_EQ(warsowName.shown, 18u) << "16 letters, an \xC3\xA9 once, one caret";
    EXPECT_FALSE(warsowName.overBytes);
    EXPECT_TRUE(warsowName.overShown);
    EXPECT_EQ(NameLengthReadout(warsowName, warsow), "24 bytes of 31 \u00B7 18 shown of 15");
    EXPECT_EQ(NameLimitWarning(warsowName, warsow), "Shows more than Warsow / Warfork allows: 18 characters of 15.");

    const GameProfile& et = *FindGameProfile("etlegacy");
    const NameLength etName = MeasureName(std::string(30, 'a') + "^1^2^3bc", et);
    EXPECT_TRUE(etName.overBytes);
    EXPECT_TRUE(etName.Over());
    EXPECT_EQ(NameLengthReadout(etName, et), "38 bytes of 36 \u00B7 32 shown");
    EXPECT_EQ(NameLimitWarning(etName, et), "Longer than Enemy Territory / ET: Legacy keeps: 38 bytes of 36.");

    const NameLength plain = MeasureName("^1m", DefaultGameProfile());
    EXPECT_FALSE(plain.Over()) << "glyphtint sets no limit";
    EXPECT_EQ(NameLimitWarning(plain, DefaultGameProfile()), "");
    EXPECT_EQ(NameLengthReadout(plain, DefaultGameProfile()), "3 bytes \u00B7 1 shown");
}

// A hex code is one code: its digits draw nothing, and it is named whole where a style
// changes its colour.
TEST(GameProfiles, HexCodesAreReadWhole)
{
    const CodeRules& xonotic = FindGameProfile("xonotic")->rules;
    CodeTokenizer tokens("^xF80a", xonotic);
    std::string kinds;
    for (CodeToken token; tokens.Next(token);) {
        kinds += "ocsdh"[static_cast<int>(token.kind)];
        if (token.kind == ByteKind::Drawn) {
            EXPECT_EQ(token.code, 'x');
            EXPECT_EQ(token.colour, (TColourTriple{255, 136, 0}));
        }
    }
    EXPECT_EQ(kinds, "ochhhd");
    PictureStyle strictest;
    strictest.minContrast = 21.0;
    EXPECT_EQ(AdjustedCodes("^xF80a^xF80b^1c", strictest, xonotic), (std::vector<std::string>{"xF80", "1"}));
    EXPECT_EQ(xonotic.ColourOf('x'), std::nullopt) << "a hex mark alone selects no colour";
    EXPECT_EQ(FindGameProfile("etlegacy")->rules.ColourOf('*'), (TColourTriple{255, 255, 255}));
}

// Every profile reads every byte of a hostile text exactly once, a code cut short by the
// end of the text included, and what it draws is what its readers count.
TEST(GameProfiles, ReadEveryByteOfHostileTextsOnce)
{
    const std::vector<std::string> texts = {"^",
                                            "^^",
                                            "^^^",
                                            "^x",
                                            "^xF",
                                            "^xF8",
                                            "^#",
                                            "^#12345",
                                            "^#1234",
                                            "^X1^",
                                            "^*",
                                            "^ ",
                                            "a^\xFF",
                                            "^\xC3\xA9",
                                            std::string("^\0^", 3),
                                            "^#12345G^xF80"};
    for (const GameProfile& profile : GameProfiles()) {
        for (const std::string& text : texts) {
            CodeTokenizer tokens(text, profile.rules);
            std::size_t read = 0;
            std::size_t drawn = 0;
            for (CodeToken token; tokens.Next(token); ++read) {
                EXPECT_EQ(token.byte, static_cast<unsigned char>(text[read])) << profile.id << ": " << text;
                drawn += token.kind == ByteKind::Drawn ? 1 : 0;
            }
            EXPECT_EQ(read, text.size()) << profile.id << ": " << text;
            std::size_t scanned = 0;
            ScanCodedText(
                text, [&](unsigned char, TColourTriple) { ++scanned; }, profile.rules);
            EXPECT_EQ(scanned, drawn) << profile.id << ": " << text;
        }
    }
}

// One code a colour, each drawing its own character in it; glyphtint's palettes stay.
TEST(GameProfiles, PalettesShowEachColourOfTheGameOnce)
{
    EXPECT_EQ(PaletteTexts(DefaultGameProfile()), (std::array<std::string, 2>{kPaletteText1, kPaletteText2}));
    EXPECT_EQ(PaletteTexts(*FindGameProfile("quake3")), (std::array<std::string, 2>{"^11^22^33^44", "^55^66^77^00"}));
    EXPECT_EQ(PaletteTexts(*FindGameProfile("openjk")),
              (std::array<std::string, 2>{"^11^22^33^44^55", "^66^77^88^99^00"}));
    const std::array<std::string, 2> et = PaletteTexts(*FindGameProfile("etlegacy"));
    EXPECT_EQ((et[0] + et[1]).size(), 31u * 3) << "32 colours, 10 and 11 alike";
    EXPECT_EQ(et[0].substr(0, 33), "^11^22^33^44^55^66^77^88^99^00^::");
    EXPECT_EQ((et[0] + et[1]).find("^;"), std::string::npos);
}
