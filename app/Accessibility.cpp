// The accessible interfaces of the pictures and the palettes' samples.
#include "app/Accessibility.h"

#include "app/GameChoice.h"

#include "app/Image.h"
#include "app/PaletteImage.h"
#include "render/ColourNames.h"

#include <QAccessibleWidget>

#include <string>
#include <vector>

namespace glyphtint::app {
namespace {

// One sample of a palette, pressed as a button.
class SampleInterface : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    SampleInterface(TPaletteImage* palette, int index) : palette_(palette), index_(index) { }

    bool isValid() const override { return palette_ != nullptr && index_ < SampleCount(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return Parent()->window(); }
    QAccessibleInterface* parent() const override { return Parent(); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override { }
    QAccessible::Role role() const override { return QAccessible::Button; }

    QString text(QAccessible::Text t) const override
    {
        const auto sample = Sample();
        return t == QAccessible::Name && sample ? ColourCodeCaption(sample->code) : QString();
    }

    QRect rect() const override
    {
        const auto sample = Sample();
        if (!sample) {
            return {};
        }
        return QRect(palette_->mapToGlobal(QPoint(sample->left, 0)), QSize(sample->width, palette_->height()));
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.focusable = true;
        state.focused = palette_->hasFocus() && palette_->Current() == index_;
        const auto sample = Sample();
        state.invisible =
            !palette_->isVisible() || !sample || sample->left + sample->width <= 0 || sample->left >= palette_->width();
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override { return {pressAction(), setFocusAction()}; }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
    void doAction(const QString& name) override
    {
        if (name == pressAction()) {
            palette_->Pick(index_);
        } else if (name == setFocusAction()) {
            palette_->setFocus(Qt::OtherFocusReason);
            palette_->SetCurrent(index_);
        }
    }

private:
    QAccessibleInterface* Parent() const { return QAccessible::queryAccessibleInterface(palette_); }
    int SampleCount() const { return static_cast<int>(palette_->Samples().size()); }
    std::optional<render::ColourSample> Sample() const
    {
        const auto samples = palette_->Samples();
        if (index_ < 0 || index_ >= static_cast<int>(samples.size())) {
            return std::nullopt;
        }
        return samples[static_cast<std::size_t>(index_)];
    }

    TPaletteImage* palette_;
    int index_;
};

// A palette: a list whose children are its samples.
class PaletteInterface : public QAccessibleWidget {
public:
    explicit PaletteInterface(TPaletteImage* palette) : QAccessibleWidget(palette, QAccessible::List) { }

    ~PaletteInterface() override
    {
        for (const QAccessible::Id id : children_) {
            QAccessible::deleteAccessibleInterface(id);
        }
    }

    int childCount() const override { return static_cast<int>(Palette()->Samples().size()); }

    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= childCount()) {
            return nullptr;
        }
        // The cache owns the children; each is made once and asked for again by its id.
        while (static_cast<int>(children_.size()) <= index) {
            auto* sample = new SampleInterface(Palette(), static_cast<int>(children_.size()));
            children_.push_back(QAccessible::registerAccessibleInterface(sample));
        }
        return QAccessible::accessibleInterface(children_[static_cast<std::size_t>(index)]);
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        for (int i = 0; i < static_cast<int>(children_.size()) && i < childCount(); ++i) {
            if (QAccessible::accessibleInterface(children_[static_cast<std::size_t>(i)]) == child) {
                return i;
            }
        }
        return -1;
    }

    QAccessibleInterface* childAt(int x, int y) const override
    {
        const QPoint at = Palette()->mapFromGlobal(QPoint(x, y));
        if (!Palette()->rect().contains(at)) {
            return nullptr;
        }
        const auto samples = Palette()->Samples();
        for (int i = 0; i < static_cast<int>(samples.size()); ++i) {
            const auto& sample = samples[static_cast<std::size_t>(i)];
            if (at.x() >= sample.left && at.x() < sample.left + sample.width) {
                return child(i);
            }
        }
        return nullptr;
    }

    QAccessibleInterface* focusChild() const override
    {
        return Palette()->hasFocus() ? child(Palette()->Current()) : nullptr;
    }

private:
    TPaletteImage* Palette() const { return static_cast<TPaletteImage*>(widget()); }

    mutable std::vector<QAccessible::Id> children_;
};

QAccessibleInterface* Factory(const QString& className, QObject* object)
{
    // TImage and TPaletteImage have no meta-object of their own: Qt asks as for a QWidget.
    if (className != QLatin1String("QWidget") || object == nullptr || !object->isWidgetType()) {
        return nullptr;
    }
    if (auto* palette = dynamic_cast<TPaletteImage*>(object)) {
        return new PaletteInterface(palette);
    }
    if (auto* image = dynamic_cast<TImage*>(object)) {
        return new QAccessibleWidget(image, QAccessible::Graphic);
    }
    return nullptr;
}

} // namespace

namespace {

// The words of a long text's first characters: only the first kMaxPictureDescription
// characters are told, and a pasted page's description would cost about as much as its
// render. The telling of a text's beginning is the whole text's up to its last run's
// words, which then end in " in " and a colour name (at most 16 characters) where the
// whole text's go on; a beginning told longer than the cut by more than that is told as
// the whole text would be, as far as the cut.
std::string TellFirstCharacters(std::string_view text, const render::PictureStyle& style)
{
    constexpr std::size_t kEnding = 32;
    for (std::size_t bytes = 4096; bytes < text.size(); bytes *= 4) {
        std::string told = render::DescribePicture(text.substr(0, bytes), style, WindowGame().rules);
        if (told.size() >= static_cast<std::size_t>(kMaxPictureDescription) + kEnding) {
            return told;
        }
    }
    return render::DescribePicture(text, style, WindowGame().rules);
}

} // namespace

QString PictureDescription(std::string_view text, const render::PictureStyle& style)
{
    const std::string told = TellFirstCharacters(text, style);
    if (told.empty()) {
        return "Nothing drawn";
    }
    QString description = QString::fromUtf8(told.data(), static_cast<qsizetype>(told.size()));
    if (description.size() > kMaxPictureDescription) {
        description.truncate(kMaxPictureDescription - 1);
        // A cut between the halves of a surrogate pair would leave half a character.
        if (description.back().isHighSurrogate()) {
            description.chop(1);
        }
        description += QChar(0x2026);
    }
    return description;
}

void SetAccessibleDescription(QWidget* widget, const QString& description)
{
    // Qt tells screen readers of every call, even with the same text.
    if (widget->accessibleDescription() != description) {
        widget->setAccessibleDescription(description);
    }
}

void InstallAccessibleInterfaces()
{
    // Every window calls this; the factory goes in once.
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    static_cast<void>(installed);
}

} // namespace glyphtint::app
