// ColoursPanel: the colours panel (Panel3): two palette strips and the "Colors" buttons
// that fold it to a bar and unfold it again.
#pragma once

#include "app/DesignScale.h"
#include "app/Image.h"
#include "render/ColourSamples.h"
#include "render/PictureStyle.h"

#include <QFrame>
#include <QToolButton>

#include <functional>
#include <optional>

namespace glyphtint::app {

using render::kPaletteText1;
using render::kPaletteText2;

// The panel keeps its fixed height (100 unfolded, 28 folded); the window's layout gives
// whatever height it frees or takes to the tabs above.
class ColoursPanel : public QFrame {
public:
    explicit ColoursPanel(const DesignScale& scale, QWidget* parent = nullptr);

    // Renders both palette strings into their images in the given style; failures leave
    // as exceptions.
    void RenderPalettes(render::GlyphPack& pack, const render::PictureStyle& style = {});

    // Unfold and fold.
    void SpeedButton1Click();
    void SpeedButton2Click();

    // Told the code of a sample the user clicks, in either palette.
    std::function<void(char code)> OnSampleClick;

protected:
    // The palette images' mouse: the pointing hand and a tooltip over a sample, and clicks.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Shows or hides the palettes, the panel's height and the matching Colors button; the
    // keyboard stays on the Colors button, which is then the other one.
    void SetUnfolded(bool unfolded);

    // The sample of a palette image under column x, by the widths of its glyphs.
    std::optional<render::ColourSample> SampleAt(const TImage* image, int x) const;

    const DesignScale scale_;
    QToolButton* SpeedButton1;
    QToolButton* SpeedButton2;
    QFrame* Panel4;
    TImage* img_Colors;
    TImage* img_Colors2;
    // The widths of each palette's glyphs, once drawn; all 0 (no samples) before that.
    render::GlyphWidths widths1_{};
    render::GlyphWidths widths2_{};
};

// A panel with a lowered 1-pixel bevel in the render panels' grey-green.
QFrame* NewLoweredPanel(QWidget* parent);

} // namespace glyphtint::app
