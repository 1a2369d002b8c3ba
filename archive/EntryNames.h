// Requested-name normalisation, case-insensitive comparison and '*'/'?' patterns for entry lookup.
#pragma once

#include <string>
#include <string_view>

namespace glyphtint::archive {

// Drops a leading drive ("C:") or network share ("\\server\share") and turns
// backslashes into slashes.
std::string NormaliseRequestedName(std::string_view name);

// Equal length and every character equal under ASCII case folding.
bool NamesEqualNoCase(std::string_view a, std::string_view b);

// True when the name contains '*' or '?'.
bool IsPattern(std::string_view name);

// Case-insensitive match of a name against a pattern of '*' (any run of
// characters) and '?' (any one character). "*.*" matches every name. A '*'
// matches the empty rest of a name only as the pattern's last character.
bool MatchesPattern(std::string_view name, std::string_view pattern);

} // namespace glyphtint::archive
