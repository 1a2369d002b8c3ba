// Pictures: loads the drawn PNGs from the resources.
#include "app/Pictures.h"

#include <QBitmap>
#include <QColor>
#include <QImage>

namespace glyphtint::app {
namespace {

QPixmap Load(const QString& name)
{
    return QPixmap(":/pictures/" + name + ".png");
}

// Magenta (255, 0, 255) is the transparent colour of the button glyphs.
QIcon WithMagentaTransparent(const QString& name)
{
    QPixmap pixmap = Load(name);
    pixmap.setMask(pixmap.createMaskFromColor(QColor(255, 0, 255), Qt::MaskInColor));
    return QIcon(pixmap);
}

} // namespace

QIcon ProgramIcon()
{
    QIcon icon;
    icon.addPixmap(Load("duck32"));
    icon.addPixmap(Load("duck16"));
    return icon;
}

QPixmap ProgramIconPixmap32()
{
    return Load("duck32");
}

std::vector<QIcon> ImageList1()
{
    std::vector<QIcon> images;
    for (int i = 0; i < 8; ++i) {
        images.emplace_back(Load("list" + QString::number(i)));
    }
    return images;
}

QIcon ChevronsUp()
{
    return WithMagentaTransparent("chevrons-up");
}

QIcon ChevronsDown()
{
    return WithMagentaTransparent("chevrons-down");
}

} // namespace glyphtint::app
