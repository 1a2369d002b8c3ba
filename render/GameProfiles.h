// Game profiles: how each game reads colour codes in a name, and how long a name it keeps.
#pragma once

#include "render/CodeTokens.h"

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace glyphtint::render {

struct GameProfile {
    std::string_view id;
    std::string_view title;
    CodeRules rules;
    // The longest name the game keeps, in bytes with its codes; nothing where the game
    // sets no limit of its own.
    std::optional<std::size_t> byteLimit;
    // The most characters a name may show, where the game counts them too.
    std::optional<std::size_t> shownLimit;
};

// Every profile, glyphtint's own first.
std::span<const GameProfile> GameProfiles();

// glyphtint's own table: the profile used wherever no game is chosen.
const GameProfile& DefaultGameProfile();

// The profile with that id, or nullptr.
const GameProfile* FindGameProfile(std::string_view id);

// The ids, comma-separated, for messages that name what may be chosen.
std::string KnownGameIds();

// The window's two palettes for a game, as coded texts: one code for each colour of the
// game's table (digits 1-9 and 0 first, then letters, then punctuation), each followed by
// its own character. glyphtint's are kPaletteText1 and kPaletteText2; hex colours have none.
std::array<std::string, 2> PaletteTexts(const GameProfile& profile);

// How a name measures against the game's limits.
struct NameLength {
    std::size_t bytes = 0;
    std::size_t shown = 0; // characters the game draws, a UTF-8 sequence counting once
    bool overBytes = false;
    bool overShown = false;
    bool Over() const { return overBytes || overShown; }
};
NameLength MeasureName(std::string_view text, const GameProfile& profile);

// "38 bytes of 36 · 12 shown", "12 bytes · 5 shown of 15", "7 bytes · 5 shown".
std::string NameLengthReadout(const NameLength& length, const GameProfile& profile);

// Why a name is over the game's limits, in words ("Longer than Xonotic keeps: 130 bytes of
// 128."); empty when it is within them.
std::string NameLimitWarning(const NameLength& length, const GameProfile& profile);

} // namespace glyphtint::render
