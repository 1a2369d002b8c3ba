// GameChoice: the game whose rules the window reads every text by, one choice for the
// preview, the palettes, the colour menu, the readout and the pictures saved.
#pragma once

#include "render/GameProfiles.h"

namespace glyphtint::app {

// glyphtint's own profile until a game is chosen.
const render::GameProfile& WindowGame();
void SetWindowGame(const render::GameProfile& game);

// The game for a picture's job: none (glyphtint's rules, and pictures as they always were)
// unless another one is chosen.
const render::GameProfile* ChosenGame();

} // namespace glyphtint::app
