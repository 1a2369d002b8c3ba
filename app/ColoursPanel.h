// ColoursPanel: the colours panel (Panel3): two palette strips and the "Colors" toggle
// that folds it to a bar and unfolds it again.
#pragma once

#include "app/DesignScale.h"
#include "app/PaletteImage.h"
#include "render/ColourSamples.h"
#include "render/PictureStyle.h"

#include <QFrame>
#include <QLabel>
#include <QStatusBar>
#include <QToolButton>

#include <functional>
#include <optional>

namespace glyphtint::app {

using render::kPaletteText1;
using render::kPaletteText2;

// The panel keeps its fixed height (100 unfolded, 28 folded, more where a large font
// makes the toggle taller); the window's layout gives
// whatever height it frees or takes to the tabs above.
class ColoursPanel : public QFrame {
public:
    explicit ColoursPanel(const DesignScale& scale, QWidget* parent = nullptr);

    // Renders both palette strings into their images in the given style; failures leave
    // as exceptions.
    void RenderPalettes(render::GlyphPack& pack, const render::PictureStyle& style);

    // What the palette band shows around and between the strips: the page previewed.
    void SetPageColour(const QColor& colour);

    // The Colors toggle: checked while the palettes show.
    void SpeedButton1Click();
    bool Unfolded() const;

    // Shows a confirmation of what shows nowhere else ("Picture copied") in the status
    // line beside the toggle, where screen readers hear it; the same text again is news too.
    void Announce(const QString& message);

    // Told the code of a sample the user clicks or picks with the keys, in either palette.
    std::function<void(char code)> OnSampleClick;

protected:
    // The palette images' mouse: the pointing hand and a tooltip over a sample, and clicks.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Shows or hides the palettes, sets the panel's height and the toggle's state and arrow.
    void SetUnfolded(bool unfolded);

    const DesignScale scale_;
    QToolButton* SpeedButton1;
    QStatusBar* StatusBar1;
    QLabel* lbl_Status;
    int foldedHeight_ = 0;
    int unfoldedHeight_ = 0;
    QFrame* Panel4;
    TPaletteImage* img_Colors;
    TPaletteImage* img_Colors2;
};

// A panel with a lowered 1-pixel bevel in the render panels' grey-green.
QFrame* NewLoweredPanel(QWidget* parent);
// Gives a panel (and the images in it, which fill around their pictures with it) a colour.
void SetPanelColour(QWidget* panel, const QColor& colour);
// The colour of the render and palette panels under a style: the page a strip is previewed
// on, else the designed grey-green.
QColor PanelColour(const render::PictureStyle& style);

} // namespace glyphtint::app
