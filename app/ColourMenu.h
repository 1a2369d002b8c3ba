// ColourMenu: "Insert colour", every colour code as an entry with a swatch of its colour.
#pragma once

#include <QMenu>

#include <functional>

namespace glyphtint::app {

// The 87 codes in four submenus (digits, letters a-z, letters A-Z, signs), each entry
// "^", its code and its colour's name ("^1 red"), the code its access key. Choosing one calls chosen with the code.
QMenu* NewColourMenu(QWidget* parent, std::function<void(char code)> chosen);

} // namespace glyphtint::app
