// Requested-name normalisation, case-insensitive comparison and '*'/'?' patterns for entry lookup.
#include "archive/EntryNames.h"

#include <algorithm>
#include <vector>

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

bool IsPattern(std::string_view name)
{
    return name.find_first_of("*?") != std::string_view::npos;
}

bool MatchesPattern(std::string_view name, std::string_view pattern)
{
    if (pattern == "*.*") {
        return true;
    }
    // The backtracking definition, tabulated over (name position i, pattern
    // position j) so that a pattern with many stars stays polynomial:
    //   rest of pattern is exactly "*"  -> match
    //   name used up                    -> match iff pattern used up
    //   '*'  -> the name from k = 0 .. left-1 characters on against the rest
    //   '?' or an equal character       -> advance both
    const size_t n = name.size();
    const size_t m = pattern.size();
    std::vector<bool> table((n + 1) * (m + 1), false);
    auto cell = [&](size_t i, size_t j) { return table[i * (m + 1) + j]; };

    for (size_t j = m + 1; j-- > 0;) {
        bool starRest = false; // any match of pattern[j+1..] from i .. n-1
        for (size_t i = n + 1; i-- > 0;) {
            bool result;
            if (j + 1 == m && pattern[j] == '*') {
                result = true;
            } else if (i == n) {
                result = (j == m);
            } else if (j == m) {
                result = false;
            } else if (pattern[j] == '*') {
                starRest = starRest || cell(i, j + 1);
                result = starRest;
            } else {
                result = (pattern[j] == '?' || SameChar(name[i], pattern[j])) && cell(i + 1, j + 1);
            }
            table[i * (m + 1) + j] = result;
        }
    }
    return cell(0, 0);
}

} // namespace glyphtint::archive
