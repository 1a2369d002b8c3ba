// Requested-name normalisation, case-insensitive comparison and '*'/'?' patterns for entry lookup.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace glyphtint::archive {

// Drops a leading drive ("C:") or network share ("\\server\share") and turns
// backslashes into slashes.
std::string NormaliseRequestedName(std::string_view name);

// Equal length and every character equal under ASCII case folding.
bool NamesEqualNoCase(std::string_view a, std::string_view b);

// The name with ASCII letters in upper case: names equal under NamesEqualNoCase
// have equal folded names.
std::string FoldedName(std::string_view name);

// True when the name contains '*' or '?'.
bool IsPattern(std::string_view name);

// Case-insensitive match of a name against a pattern of '*' (any run of
// characters) and '?' (any one character). "*.*" matches every name. A '*'
// matches the empty rest of a name only as the pattern's last character.
bool MatchesPattern(std::string_view name, std::string_view pattern);

// A pattern prepared once for matching many names, as MatchesPattern does.
// Each match costs time linear in the name: the pattern runs as a set of
// states held in bits, one machine word per 64 pattern characters.
class NamePattern {
public:
    explicit NamePattern(std::string_view pattern);
    bool Matches(std::string_view name);

private:
    using Word = std::uint64_t;
    bool matchesAll_ = false; // "*.*"
    size_t tokens_ = 0;       // pattern characters after runs of stars are folded
    size_t words_ = 0;
    std::vector<Word> advance_;  // per byte value: the tokens it passes ('?' or that character)
    std::vector<Word> starLoop_; // the '*' tokens, which take any character and stay
    std::vector<Word> current_;  // states reached so far, reused from name to name
    std::vector<Word> next_;
};

} // namespace glyphtint::archive
