// How long a coded text may be: a limit that no name or message reaches, so that a text
// from a file, a pipe, a paste or a batch line costs bounded memory and time.
#pragma once

#include <cstddef>

namespace glyphtint::render {

// Bytes of one coded text. Games cap a name at a few dozen bytes and a chat line at a
// few hundred; the longest text the window still draws (a paste of 100 000 characters,
// codes included) stays well under it, while a megabyte read from a pipe or a file is
// refused at once, before anything is measured or drawn.
inline constexpr std::size_t kMaxTextBytes = 1u << 20;

} // namespace glyphtint::render
