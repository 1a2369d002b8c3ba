// Requested-name normalisation, case-insensitive comparison and '*'/'?' patterns for entry lookup.
#include "archive/EntryNames.h"

#include <algorithm>

namespace glyphtint::archive {
namespace {

char FoldCase(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameChar(char a, char b)
{
    return a == b || FoldCase(a) == FoldCase(b);
}

// Length of a leading drive: "X:" or "\\server\share" up to (not including)
// the backslash after the share name.
size_t DriveLength(std::string_view name)
{
    if (name.size() >= 2 && name[1] == ':' &&
        ((name[0] >= 'a' && name[0] <= 'z') || (name[0] >= 'A' && name[0] <= 'Z'))) {
        return 2;
    }
    if (name.size() >= 2 && name[0] == '\\' && name[1] == '\\') {
        const size_t server = name.find('\\', 2);
        if (server == std::string_view::npos) {
            return name.size();
        }
        const size_t share = name.find('\\', server + 1);
        return share == std::string_view::npos ? name.size() : share;
    }
    return 0;
}

} // namespace

std::string NormaliseRequestedName(std::string_view name)
{
    std::string out(name.substr(DriveLength(name)));
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

bool NamesEqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (!SameChar(a[i], b[i])) {
            return false;
        }
    }
    return true;
}

std::string FoldedName(std::string_view name)
{
    std::string folded(name);
    std::transform(folded.begin(), folded.end(), folded.begin(), FoldCase);
    return folded;
}

bool IsPattern(std::string_view name)
{
    return name.find_first_of("*?") != std::string_view::npos;
}

bool MatchesPattern(std::string_view name, std::string_view pattern)
{
    return NamePattern(pattern).Matches(name);
}

// The backtracking definition of a match reads:
//   rest of pattern is exactly "*"  -> match
//   name used up                    -> match iff pattern used up
//   '*'  -> the name from k = 0 .. left-1 characters on against the rest
//   '?' or an equal character       -> advance both
// That is the usual glob match with one difference: a run of two or more stars
// at the end of the pattern needs at least one character. So runs of stars are
// folded into one '*', a final run of several into "?*", and the glob match
// runs as a machine of pattern positions (tokens) stepping over the name.
NamePattern::NamePattern(std::string_view pattern)
{
    if (pattern == "*.*") {
        matchesAll_ = true;
        return;
    }
    std::string tokens;
    for (size_t i = 0; i < pattern.size();) {
        if (pattern[i] != '*') {
            tokens += pattern[i++];
            continue;
        }
        size_t run = 0;
        while (i < pattern.size() && pattern[i] == '*') {
            ++run;
            ++i;
        }
        tokens += (run > 1 && i == pattern.size()) ? "?*" : "*";
    }
    tokens_ = tokens.size();
    words_ = tokens_ / 64 + 1; // states 0 .. tokens_
    advance_.assign(256 * words_, 0);
    starLoop_.assign(words_, 0);
    for (size_t k = 0; k < tokens_; ++k) {
        const Word bit = Word{1} << (k % 64);
        const char token = tokens[k];
        if (token == '*') {
            starLoop_[k / 64] |= bit;
            continue;
        }
        for (int c = 0; c < 256; ++c) {
            if (token == '?' || SameChar(static_cast<char>(c), token)) {
                advance_[static_cast<size_t>(c) * words_ + k / 64] |= bit;
            }
        }
    }
    current_.resize(words_);
    next_.resize(words_);
}

bool NamePattern::Matches(std::string_view name)
{
    if (matchesAll_) {
        return true;
    }
    // A state k reached on a '*' token also reaches k + 1: the star takes nothing.
    // Stars never follow each other, so one step closes the set.
    const auto closeOverStars = [&](std::vector<Word>& states) {
        Word carry = 0;
        for (size_t w = 0; w < words_; ++w) {
            const Word stars = states[w] & starLoop_[w];
            states[w] |= (stars << 1) | carry;
            carry = stars >> 63;
        }
    };
    std::fill(current_.begin(), current_.end(), 0);
    current_[0] = 1;
    closeOverStars(current_);
    for (const char c : name) {
        const Word* advance = advance_.data() + static_cast<size_t>(static_cast<unsigned char>(c)) * words_;
        Word carry = 0;
        Word any = 0;
        for (size_t w = 0; w < words_; ++w) {
            const Word moving = current_[w] & advance[w];
            next_[w] = (moving << 1) | carry | (current_[w] & starLoop_[w]);
            carry = moving >> 63;
            any |= next_[w];
        }
        if (any == 0) {
            return false;
        }
        closeOverStars(next_);
        current_.swap(next_);
    }
    return ((current_[tokens_ / 64] >> (tokens_ % 64)) & 1) != 0;
}

} // namespace glyphtint::archive
