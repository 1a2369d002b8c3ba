// The window's game: one pointer into the profiles, which live as long as the program.
#include "app/GameChoice.h"

namespace glyphtint::app {
namespace {

const render::GameProfile* windowGame = nullptr;

} // namespace

const render::GameProfile& WindowGame()
{
    return windowGame != nullptr ? *windowGame : render::DefaultGameProfile();
}

void SetWindowGame(const render::GameProfile& game)
{
    windowGame = &game;
}

const render::GameProfile* ChosenGame()
{
    return &WindowGame() == &render::DefaultGameProfile() ? nullptr : &WindowGame();
}

} // namespace glyphtint::app
