// Requested-name normalisation, case-insensitive comparison and pattern matching.
#include "archive/EntryNames.h"

#include <gtest/gtest.h>

namespace {

using namespace glyphtint::archive;

struct NormaliseCase {
    const char* requested;
    const char* normalised;
};

class RequestedName : public ::testing::TestWithParam<NormaliseCase> { };

TEST_P(RequestedName, DropsDriveAndTurnsBackslashes)
{
    EXPECT_EQ(NormaliseRequestedName(GetParam().requested), GetParam().normalised);
}

const NormaliseCase kNormaliseCases[] = {
    {"a.jpg", "a.jpg"},
    {"C:a.jpg", "a.jpg"},
    {"c:\\a.jpg", "/a.jpg"},
    {"sub\\a.jpg", "sub/a.jpg"},
    {"\\\\server\\share\\sub\\a.jpg", "/sub/a.jpg"},
    {"\\\\server", ""},
    {"1:a.jpg", "1:a.jpg"},
    {"", ""},
};
INSTANTIATE_TEST_SUITE_P(Table, RequestedName, ::testing::ValuesIn(kNormaliseCases));

TEST(NameComparison, IgnoresAsciiCaseOnly)
{
    EXPECT_TRUE(NamesEqualNoCase("A.JPG", "a.jpg"));
    EXPECT_TRUE(NamesEqualNoCase("Sub/A.jpg", "sUB/a.JPG"));
    EXPECT_FALSE(NamesEqualNoCase("a.jpg", "a.jpgx"));
    EXPECT_FALSE(NamesEqualNoCase("a.jpg", "b.jpg"));
    EXPECT_FALSE(NamesEqualNoCase("[", "{")); // 0x5B and 0x7B differ by the case bit only
}

struct PatternCase {
    const char* name;
    const char* pattern;
    bool match;
};

class PatternMatch : public ::testing::TestWithParam<PatternCase> { };

TEST_P(PatternMatch, Matches)
{
    const PatternCase& c = GetParam();
    EXPECT_EQ(MatchesPattern(c.name, c.pattern), c.match) << c.name << " ~ " << c.pattern;
}

const PatternCase kPatternCases[] = {
    {"a.jpg", "*.jpg", true},
    {"A.JPG", "*.jpg", true},
    {"a.jpeg", "*.jpg", false},
    {"noext", "*.*", true},
    {"", "*.*", true},
    {"", "*", true},
    {"", "?", false},
    {"abc", "a?c", true},
    {"ac", "a?c", false},
    {"abc", "a*", true},
    {"a", "a*", true},
    {"a", "a**", false}, // a star meets an empty rest only as the last character
    {"ab", "a**", true},
    {"", "**", false},
    {"sub/a.jpg", "*.jpg", true},
    {"sub/a.jpg", "sub/?.jpg", true},
    {"abcabd", "*ab?", true},
    {"abcabe", "*abd", false},
    {"x.jpg.bak", "*.jpg", false},
};
INSTANTIATE_TEST_SUITE_P(Table, PatternMatch, ::testing::ValuesIn(kPatternCases));

TEST(PatternMatchCost, ManyStarsStayFast)
{
    // A backtracking matcher takes exponential time here; the tabulated one does not.
    const std::string name(250, 'a');
    std::string pattern;
    for (int i = 0; i < 60; ++i)
        pattern += "*a";
    pattern += "*b";
    EXPECT_FALSE(MatchesPattern(name, pattern));
    EXPECT_TRUE(IsPattern(pattern));
    EXPECT_FALSE(IsPattern("plain.jpg"));
}

} // namespace
