// Anchoring of children to their parent's right edge, kept on every resize of the parent.
#pragma once

#include <QObject>
#include <QWidget>

namespace glyphtint::app {

enum class RightAnchor {
    Stretch, // left edge fixed, right edge keeps its distance: the child widens
    Follow,  // width fixed, right edge keeps its distance: the child moves
};

// Keeps child's right edge `margin` pixels from its parent's right edge.
void AnchorRight(QWidget* child, int margin, RightAnchor mode);

} // namespace glyphtint::app
