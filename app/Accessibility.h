// What screen readers are told about the window's pictures.
#pragma once

#include "render/PictureStyle.h"

#include <QString>

#include <cstddef>
#include <string_view>

class QWidget;

namespace glyphtint::app {

// The longest description a picture gets: a pasted page would otherwise be read for minutes.
inline constexpr qsizetype kMaxPictureDescription = 500;

// A picture of text told in words ("m00 in red, says in white"), or that nothing is drawn;
// cut to kMaxPictureDescription characters, ending in "…" where it was cut.
QString PictureDescription(std::string_view text, const render::PictureStyle& style);

// Gives a widget a new description; screen readers hear of it only when it differs.
void SetAccessibleDescription(QWidget* widget, const QString& description);

// Makes pictures (TImage) images to screen readers, and palettes lists of buttons, one per
// sample. Once per program; later calls do nothing.
void InstallAccessibleInterfaces();

} // namespace glyphtint::app
