// Requested-name normalisation, case-insensitive comparison and pattern matching.
#include "archive/EntryNames.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

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
    for (int i = 0; i < 60; ++i) {
        pattern += "*a";
    }
    pattern += "*b";
    EXPECT_FALSE(MatchesPattern(name, pattern));
    EXPECT_TRUE(IsPattern(pattern));
    EXPECT_FALSE(IsPattern("plain.jpg"));
}

// The matching rules written as the plain recursion they are defined by.
bool MatchesByDefinition(std::string_view name, std::string_view pattern)
{
    if (pattern == "*") {
        return true;
    }
    if (name.empty()) {
        return pattern.empty();
    }
    if (pattern.empty()) {
        return false;
    }
    if (pattern[0] == '*') {
        for (size_t k = 0; k < name.size(); ++k) {
            if (MatchesByDefinition(name.substr(k), pattern.substr(1))) {
                return true;
            }
        }
        return false;
    }
    const bool same = pattern[0] == '?' || std::toupper(static_cast<unsigned char>(name[0])) ==
                                               std::toupper(static_cast<unsigned char>(pattern[0]));
    return same && MatchesByDefinition(name.substr(1), pattern.substr(1));
}

// Every string over the alphabet up to maxLength characters.
std::vector<std::string> AllStrings(const std::string& alphabet, size_t maxLength)
{
    std::vector<std::string> out{""};
    for (size_t from = 0; from < out.size(); ++from) {
        if (out[from].size() < maxLength) {
            for (char c : alphabet) {
                out.push_back(out[from] + c);
            }
        }
    }
    return out;
}

TEST(PatternMatch, AgreesWithTheDefinitionOnEveryShortNameAndPattern)
{
    const std::vector<std::string> names = AllStrings("abB", 5);
    for (const std::string& pattern : AllStrings("a*?", 5)) {
        NamePattern prepared(pattern);
        for (const std::string& name : names) {
            const bool expected = pattern == "*.*" || MatchesByDefinition(name, pattern);
            ASSERT_EQ(prepared.Matches(name), expected) << '"' << name << "\" ~ \"" << pattern << '"';
        }
    }
}

TEST(PatternMatch, PatternsLongerThanOneWordOfStates)
{
    const std::string name = std::string(200, 'a') + "b" + std::string(50, 'c');
    EXPECT_TRUE(MatchesPattern(name, std::string(150, '?') + "*b" + std::string(50, '?')));
    EXPECT_TRUE(MatchesPattern(name, "*" + std::string(63, 'a') + "*B*" + std::string(49, 'C') + "**"));
    EXPECT_FALSE(MatchesPattern(name, std::string(200, 'a') + "*" + std::string(51, 'c')));
    EXPECT_FALSE(MatchesPattern(name, name + "**"));
    EXPECT_TRUE(MatchesPattern(name, name + "*"));
}

} // namespace
