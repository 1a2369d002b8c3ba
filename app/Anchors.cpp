// AnchorRight: an event filter on the parent that places the child after each resize.
#include "app/Anchors.h"

#include <QEvent>
#include <QPointer>

namespace glyphtint::app {
namespace {

class RightAnchorFilter : public QObject {
public:
    RightAnchorFilter(QWidget* child, int margin, RightAnchor mode)
        : QObject(child), child_(child), margin_(margin), mode_(mode)
    {
    }

    void Apply()
    {
        const QWidget* parent = child_->parentWidget();
        if (mode_ == RightAnchor::Stretch) {
            child_->resize(qMax(0, parent->width() - margin_ - child_->x()), child_->height());
        } else {
            child_->move(parent->width() - margin_ - child_->width(), child_->y());
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == child_->parentWidget() && event->type() == QEvent::Resize) {
            Apply();
        }
        return false;
    }

private:
    QWidget* child_;
    int margin_;
    RightAnchor mode_;
};

} // namespace

void AnchorRight(QWidget* child, int margin, RightAnchor mode)
{
    auto* filter = new RightAnchorFilter(child, margin, mode);
    child->parentWidget()->installEventFilter(filter);
    filter->Apply();
}

} // namespace glyphtint::app
