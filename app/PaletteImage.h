// TPaletteImage: a palette strip whose samples are picked with the mouse or the keyboard.
#pragma once

#include "app/Image.h"
#include "render/ColourSamples.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace glyphtint::app {

// One Tab stop for the whole strip: Left and Right (Home and End) move between its samples,
// with a mark around the current one, and Enter or Space picks it as a click would.
// Screen readers see each sample as a button of its own (see Accessibility.h).
class TPaletteImage : public TImage {
public:
    TPaletteImage(std::string text, QWidget* parent = nullptr);

    // The widths of the strip's glyphs, once drawn; all 0 (no samples) before that.
    void SetGlyphWidths(const render::GlyphWidths& widths);
    // Another palette text (another game's), read by the window's game; its widths follow.
    void SetText(std::string text) { text_ = std::move(text); }
    const std::string& Text() const { return text_; }

    // The samples as the strip stands in the control now, left to right.
    std::vector<render::ColourSample> Samples() const;
    std::optional<render::ColourSample> SampleAt(int x) const;

    // The sample the keys act on; 0 when the strip has none.
    int Current() const { return current_; }
    // Makes another sample the current one and tells screen readers about it.
    void SetCurrent(int index);
    // Picks a sample: its code goes to OnPick, as a click on it does.
    void Pick(int index);

    // Told the code of the sample picked.
    std::function<void(char code)> OnPick;

    // "Colour codes ^1 red, ^2 green, ...", the codes the strip shows with their colours.
    QString Description() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void TellCurrent();

    std::string text_;
    render::GlyphWidths widths_{};
    int current_ = 0;
};

// "^1 red": a code as the samples and the colour menu name it.
QString ColourCodeCaption(char code);

// The contrast every palette sample keeps against what it is drawn on.
inline constexpr double kSampleContrast = 3.0;

// What a sample drawn in tint stands on: under itself when that gives kSampleContrast,
// else under lightened or darkened (away from tint first) as little as that takes.
render::TColourTriple SampleBackdrop(render::TColourTriple tint, render::TColourTriple under);

} // namespace glyphtint::app
