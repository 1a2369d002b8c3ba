// ColoursPanel: the palettes under the Colors toggle, and folding and unfolding them.
#include "app/ColoursPanel.h"

#include "app/FocusMark.h"
#include "app/GameChoice.h"
#include "app/Pictures.h"
#include "render/CodeTokens.h"
#include "render/GlyphPack.h"
#include "render/PictureStyle.h"

#include <QGridLayout>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolTip>
#include <QVBoxLayout>

#include <string>
#include <utility>

namespace glyphtint::app {
namespace {

constexpr int kFoldedHeight = 28;
constexpr int kUnfoldedHeight = 100;
constexpr int kButtonTop = 4;
constexpr int kButtonRightMargin = 1;
constexpr QSize kButtonSize(73, 22);
// Between the buttons' bottom and the palettes' top; gone with the palettes when folded.
constexpr int kPalettesSpacing = 6;
constexpr int kPalettesHeight = 68;
constexpr int kSecondPaletteHeight = 32;

// Colour 7306100 of the render and palette panels.
const QColor kPanelColour(116, 123, 111);

// The samples of a palette strip too faint on the panel (grey on grey-green) drawn again
// on a backdrop of their own, the panel's colour lightened or darkened as far as their
// contrast needs; the rest of the designed panel stays as it is.
void RaiseFaintSamples(render::GlyphPack& pack, std::string_view text, const render::GlyphWidths& widths,
                       TPicture& strip, const render::PictureStyle& style, const render::CodeRules& rules)
{
    auto* bitmap = dynamic_cast<TBitmap*>(strip.Graphic());
    if (bitmap == nullptr || bitmap->Empty()) {
        return;
    }
    const render::TColourTriple under = render::ContrastBackground(style);
    bool raised = false;
    // Placed in an image as wide as the unscaled strip: the strip's own columns.
    for (const render::ColourSample& sample :
         render::ColourSamplesOf(text, widths, bitmap->Width() / style.scale, rules)) {
        const std::optional<render::TColourTriple> colour = rules.ColourOf(static_cast<unsigned char>(sample.code));
        if (!colour) {
            continue;
        }
        const render::TColourTriple backdrop = SampleBackdrop(render::StyledTint(*colour, style), under);
        if (backdrop == under) {
            continue;
        }
        render::PictureStyle onBackdrop = style;
        onBackdrop.background = render::StripBackground::Colour;
        onBackdrop.backgroundColour = backdrop;
        // A palette's samples are the code's own character after it: "^99".
        TPicture one;
        RenderCodedText(pack, std::string{'^', sample.code, sample.code}, one, onBackdrop, rules);
        bitmap->Canvas().DrawGraphic(sample.left * style.scale, 0, one.Graphic());
        raised = true;
    }
    if (raised) {
        bitmap->NotifyChanged();
    }
}

} // namespace

QFrame* NewLoweredPanel(QWidget* parent)
{
    auto* panel = new QFrame(parent);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(1);
    panel->setAutoFillBackground(true);
    SetPanelColour(panel, kPanelColour);
    return panel;
}

void SetPanelColour(QWidget* panel, const QColor& colour)
{
    QPalette palette = panel->palette();
    if (palette.color(QPalette::Window) == colour) {
        return;
    }
    palette.setColor(QPalette::Window, colour);
    panel->setPalette(palette);
}

QColor PanelColour(const render::PictureStyle& style)
{
    if (style.background != render::StripBackground::Colour) {
        return kPanelColour;
    }
    const auto& page = style.backgroundColour;
    return QColor(page.Red, page.Green, page.Blue);
}

ColoursPanel::ColoursPanel(const DesignScale& scale, QWidget* parent)
    : QFrame(parent), scale_(scale), SpeedButton1(new QToolButton(this)), StatusBar1(new QStatusBar(this)),
      lbl_Status(new QLabel(StatusBar1)), Panel4(NewLoweredPanel(this)),
      img_Colors(new TPaletteImage(kPaletteText1, Panel4)), img_Colors2(new TPaletteImage(kPaletteText2, Panel4))
{
    setObjectName("Panel3");
    SpeedButton1->setObjectName("SpeedButton1");
    Panel4->setObjectName("Panel4");
    img_Colors->setObjectName("img_Colors");
    img_Colors2->setObjectName("img_Colors2");

    // One checkable button, so that it is one focus stop and tells its state to a screen
    // reader; its arrow says which way a press goes.
    auto* buttons = new QGridLayout;
    buttons->setContentsMargins(0, scale(kButtonTop), scale(kButtonRightMargin), 0);
    SpeedButton1->setText("Colors");
    SpeedButton1->setCheckable(true);
    SpeedButton1->setIconSize(QSize(16, 16));
    SpeedButton1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    SpeedButton1->setAutoRaise(true);
    // Reached with Tab and pressed with Space, like any button.
    SpeedButton1->setFocusPolicy(Qt::TabFocus);
    SpeedButton1->setStyle(FocusMarkStyle::For(SpeedButton1));
    // The designed size, or what the text and arrow need in a larger font.
    const QSize designed(scale(kButtonSize.width()), scale(kButtonSize.height()));
    SpeedButton1->setFixedSize(designed.expandedTo(SpeedButton1->sizeHint()));
    buttons->addWidget(SpeedButton1, 0, 1, Qt::AlignRight | Qt::AlignTop);
    // The status line takes the free room left of the toggle: no band of its own, so the
    // window keeps its designed height.
    StatusBar1->setObjectName("StatusBar1");
    lbl_Status->setObjectName("lbl_Status");
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->addWidget(lbl_Status, 1);
    buttons->addWidget(StatusBar1, 0, 0, Qt::AlignVCenter);
    buttons->setColumnStretch(0, 1);
    // Added up from the parts, so that neither a taller button nor rounding cuts the palettes.
    const int buttonBottom = scale(kButtonTop) + SpeedButton1->height();
    foldedHeight_ = buttonBottom + scale(kFoldedHeight - kButtonTop - kButtonSize.height());
    unfoldedHeight_ = buttonBottom + scale(kPalettesSpacing) + scale(kPalettesHeight);

    Panel4->setFixedHeight(scale(kPalettesHeight));
    auto* palettes = new QVBoxLayout(Panel4);
    // The frame keeps its 1-pixel bevel out of the layout already.
    palettes->setContentsMargins(0, 0, 0, 0);
    palettes->setSpacing(0);
    img_Colors2->setFixedHeight(scale(kSecondPaletteHeight));
    palettes->addWidget(img_Colors, 1);
    palettes->addWidget(img_Colors2);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(scale(kPalettesSpacing));
    column->addLayout(buttons);
    column->addWidget(Panel4);

    img_Colors->setAccessibleName("Colours, first row");
    img_Colors2->setAccessibleName("Colours, second row");
    for (TPaletteImage* palette : {img_Colors, img_Colors2}) {
        palette->setMouseTracking(true);
        palette->installEventFilter(this);
        palette->OnPick = [this](char code) {
            if (OnSampleClick) {
                OnSampleClick(code);
            }
        };
    }

    SetUnfolded(true);
    connect(SpeedButton1, &QToolButton::clicked, this, &ColoursPanel::SpeedButton1Click);
}

void ColoursPanel::SetPageColour(const QColor& colour)
{
    SetPanelColour(Panel4, colour);
}

void ColoursPanel::Announce(const QString& message)
{
    // Every key clears the status: an empty one is left alone rather than laid out again.
    if (message.isEmpty() && lbl_Status->text().isEmpty()) {
        return;
    }
    lbl_Status->clear();
    lbl_Status->setText(message);
}

void ColoursPanel::RenderPalettes(render::GlyphPack& pack, const render::PictureStyle& style)
{
    // The window's game decides the codes shown and how they are read.
    const std::array<std::string, 2> palettes = render::PaletteTexts(WindowGame());
    const render::CodeRules& rules = WindowGame().rules;
    for (const auto& [image, palette] : {std::pair{img_Colors, &palettes[0]}, std::pair{img_Colors2, &palettes[1]}}) {
        image->SetText(*palette);
        RenderCodedText(pack, *palette, image->Picture(), style, rules);
        const render::GlyphWidths widths = render::MeasureGlyphWidths(pack, *palette);
        RaiseFaintSamples(pack, *palette, widths, image->Picture(), style, rules);
        image->SetGlyphWidths(widths);
    }
}

bool ColoursPanel::eventFilter(QObject* watched, QEvent* event)
{
    auto* image = watched == img_Colors || watched == img_Colors2 ? static_cast<TPaletteImage*>(watched) : nullptr;
    if (image == nullptr) {
        return QFrame::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::MouseMove:
        if (image->SampleAt(static_cast<QMouseEvent*>(event)->position().toPoint().x())) {
            image->setCursor(Qt::PointingHandCursor);
        } else {
            image->unsetCursor();
        }
        return false;
    case QEvent::ToolTip: {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (const auto sample = image->SampleAt(help->pos().x())) {
            // The tip goes when the mouse leaves the sample.
            QToolTip::showText(help->globalPos(), ColourCodeCaption(sample->code), image,
                               QRect(sample->left, 0, sample->width, image->height()));
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint at = mouse->position().toPoint();
        // A press that left the image before its release is no click.
        if (mouse->button() == Qt::LeftButton && OnSampleClick && image->rect().contains(at)) {
            if (const auto sample = image->SampleAt(at.x())) {
                OnSampleClick(sample->code);
            }
        }
        return false;
    }
    default: return false;
    }
}

void ColoursPanel::SpeedButton1Click()
{
    // The button has already changed its checked state: the panel follows it.
    SetUnfolded(SpeedButton1->isChecked());
}

bool ColoursPanel::Unfolded() const
{
    return Panel4->isVisibleTo(this);
}

void ColoursPanel::SetUnfolded(bool unfolded)
{
    setFixedHeight(unfolded ? unfoldedHeight_ : foldedHeight_);
    Panel4->setVisible(unfolded);
    SpeedButton1->setChecked(unfolded);
    // Unfolded, a press folds the palettes down; folded, it brings them up.
    SpeedButton1->setIcon(unfolded ? ChevronsDown() : ChevronsUp());
}

} // namespace glyphtint::app
