// The byte-to-entry-name mapping of the glyph archive.
#include "render/GlyphNames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>

using glyphtint::render::DrawableGlyphBytes;
using glyphtint::render::FullGlyphEntryName;
using glyphtint::render::GlyphEntryName;

TEST(GlyphNames, SampleMappings)
{
    const std::pair<unsigned char, const char*> cases[] = {
        {'A', "AA.jpg"},        {'a', "a.jpg"},          {'Z', "ZZ.jpg"},        {' ', "spc.jpg"},
        {'^', "u6.jpg"},        {'-', "-.jpg"},          {'_', "_.jpg"},         {'0', "0.jpg"},
        {'9', "9.jpg"},         {'Q', "QQ.jpg"},         {'q', "q.jpg"},         {'!', "u1.jpg"},
        {'@', "u2.jpg"},        {'#', "u3.jpg"},         {'$', "u4.jpg"},        {'&', "u7.jpg"},
        {'*', "u8.jpg"},        {'(', "u9.jpg"},         {')', "u0.jpg"},        {'\'', "mark.jpg"},
        {'+', "plus.jpg"},      {',', "comma.jpg"},      {'.', "dot.jpg"},       {'/', "fwdslash.jpg"},
        {':', "doubledot.jpg"}, {'<', "smaller.jpg"},    {'=', "is.jpg"},        {'>', "larger.jpg"},
        {'?', "question.jpg"},  {'[', "blokopen.jpg"},   {']', "blokclose.jpg"}, {'{', "curveopen.jpg"},
        {'|', "straight.jpg"},  {'}', "curveclose.jpg"},
    };
    for (const auto& [byte, name] : cases) {
        EXPECT_EQ(FullGlyphEntryName(byte), name) << "byte " << int(byte);
    }
}

TEST(GlyphNames, EveryByteValue)
{
    std::set<std::string> foldedNames;
    int drawable = 0;
    for (int value = 0; value < 256; ++value) {
        const auto byte = static_cast<unsigned char>(value);
        const std::string name = GlyphEntryName(byte);
        const bool expectGlyph =
            value >= 32 && value <= 126 && std::string("\"%;\\`~").find(char(value)) == std::string::npos;
        EXPECT_EQ(!name.empty(), expectGlyph) << "byte " << value;
        if (name.empty()) {
            EXPECT_EQ(FullGlyphEntryName(byte), "");
            continue;
        }
        ++drawable;
        EXPECT_LE(name.size(), 10u);
        EXPECT_EQ(name.find_first_of("*?/\\:"), std::string::npos) << name;
        std::string folded = name + ".jpg";
        std::transform(folded.begin(), folded.end(), folded.begin(), [](unsigned char c) { return std::tolower(c); });
        EXPECT_TRUE(foldedNames.insert(folded).second) << "names collide without regard to case: " << name;
    }
    EXPECT_EQ(drawable, 89);
    EXPECT_EQ(DrawableGlyphBytes().size(), 89u);
}
