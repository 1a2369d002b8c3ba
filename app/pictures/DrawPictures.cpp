// glyphtint-draw-pictures: draws the window's pictures as PNG files into one folder.
#include "raster/OffscreenApplication.h"

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>

namespace {

using Painting = std::function<void(QPainter&)>;

QImage Draw(int size, const Painting& paint, QColor background = Qt::transparent, bool smooth = true)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(background);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, smooth);
    painter.setRenderHint(QPainter::TextAntialiasing, smooth);
    paint(painter);
    return image;
}

// The duck is drawn on a 32-unit grid and scaled for the small version.
void PaintDuck(QPainter& p, double scale)
{
    p.scale(scale, scale);
    p.setPen(QPen(QColor(120, 80, 0), 1.0));
    p.setBrush(QColor(255, 214, 40));
    p.drawEllipse(QRectF(4, 14, 24, 14)); // body
    p.drawEllipse(QRectF(14, 4, 12, 12)); // head
    p.setBrush(QColor(240, 130, 20));
    QPainterPath beak;
    beak.moveTo(25, 9);
    beak.lineTo(31, 11);
    beak.lineTo(25, 13);
    beak.closeSubpath();
    p.drawPath(beak);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawEllipse(QRectF(20, 7, 2.5, 2.5)); // eye
    p.setPen(QPen(QColor(200, 150, 0), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(9, 17, 12, 7), 200 * 16, 140 * 16); // wing
}

QImage Duck(int size)
{
    // Program icons of 256 colours: an indexed image, transparency kept in the table.
    return Draw(size, [size](QPainter& p) { PaintDuck(p, size / 32.0); })
        .convertToFormat(QImage::Format_Indexed8, Qt::ThresholdAlphaDither);
}

// The duck for menus, docks and software centres: drawn on a 256-unit grid with the
// detail a large icon can show (shading, feathers, a lit eye, water), and outlines of one
// to two device pixels whatever the size, so that 48 pixels stay crisp and 256 not coarse.
void PaintLargeDuck(QPainter& p, int size)
{
    const double unit = size / 256.0;
    const double outline = std::max(1.0, size / 96.0) / unit;
    p.scale(unit, unit);
    const QColor ink(110, 70, 0);

    QRadialGradient water(QPointF(128, 214), 120);
    water.setColorAt(0, QColor(90, 170, 230, 200));
    water.setColorAt(1, QColor(90, 170, 230, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(water);
    p.drawEllipse(QRectF(8, 186, 240, 56));

    QLinearGradient bodyShade(QPointF(0, 110), QPointF(0, 226));
    bodyShade.setColorAt(0, QColor(255, 230, 90));
    bodyShade.setColorAt(1, QColor(236, 176, 20));
    p.setPen(QPen(ink, outline));
    p.setBrush(bodyShade);
    QPainterPath body;
    body.moveTo(30, 120);
    body.cubicTo(20, 190, 70, 226, 130, 226);
    body.cubicTo(200, 226, 236, 196, 226, 150);
    body.cubicTo(220, 124, 190, 118, 160, 128);
    body.cubicTo(120, 140, 70, 140, 30, 120);
    body.closeSubpath();
    p.drawPath(body);

    // The head sits on the body's front, overlapping it.
    p.translate(0, 20);
    QRadialGradient headShade(QPointF(150, 56), 70);
    headShade.setColorAt(0, QColor(255, 240, 130));
    headShade.setColorAt(1, QColor(240, 186, 30));
    p.setBrush(headShade);
    p.drawEllipse(QRectF(112, 22, 96, 96));

    p.setBrush(QColor(240, 130, 20));
    QPainterPath beak;
    beak.moveTo(198, 62);
    beak.cubicTo(226, 58, 248, 66, 252, 78);
    beak.cubicTo(240, 90, 220, 94, 198, 88);
    beak.closeSubpath();
    p.drawPath(beak);
    p.drawLine(QPointF(202, 76), QPointF(244, 78));

    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawEllipse(QRectF(166, 50, 18, 18));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(172, 53, 6, 6));
    p.translate(0, -20);

    p.setPen(QPen(QColor(200, 140, 0), outline * 1.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(QColor(250, 200, 50));
    QPainterPath wing;
    wing.moveTo(70, 150);
    wing.cubicTo(100, 128, 160, 134, 176, 160);
    wing.cubicTo(150, 196, 96, 196, 70, 150);
    p.drawPath(wing);
    for (const double y : {158.0, 168.0, 178.0}) {
        p.drawLine(QPointF(98, y), QPointF(150, y + 2));
    }
}

void PaintLetter(QPainter& p, const QRectF& box, const QString& letter, QColor colour, bool bold)
{
    QFont font("DejaVu Sans");
    font.setPixelSize(static_cast<int>(box.height()));
    font.setBold(bold);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(box, Qt::AlignCenter, letter);
}

const QColor kRed(210, 30, 30);
const QColor kGreen(30, 160, 40);
const QColor kBlue(30, 80, 200);
const QColor kMagenta(255, 0, 255);

// ImageList1, in its order.
const Painting kListPictures[] = {
    [](QPainter& p) { // 0: red minus bar
        p.fillRect(QRect(2, 6, 12, 4), kRed);
    },
    [](QPainter& p) { // 1: green plus sign
        p.fillRect(QRect(6, 2, 4, 12), kGreen);
        p.fillRect(QRect(2, 6, 12, 4), kGreen);
    },
    [](QPainter& p) { // 2: blank document page
        p.setPen(QColor(90, 90, 90));
        p.setBrush(Qt::white);
        QPolygonF page({{3, 1}, {10, 1}, {13, 4}, {13, 15}, {3, 15}});
        p.drawPolygon(page);
        p.drawLine(QPointF(10, 1), QPointF(10, 4));
        p.drawLine(QPointF(10, 4), QPointF(13, 4));
    },
    [](QPainter& p) { // 3: red disc with a white cross
        p.setPen(Qt::NoPen);
        p.setBrush(kRed);
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setPen(QPen(Qt::white, 2));
        p.drawLine(QPointF(5, 5), QPointF(11, 11));
        p.drawLine(QPointF(11, 5), QPointF(5, 11));
    },
    [](QPainter& p) { // 4: red letter T beside a text cursor
        PaintLetter(p, QRectF(0, 1, 11, 14), "T", kRed, true);
        p.setPen(QPen(Qt::black, 1));
        p.drawLine(QPointF(13.5, 2), QPointF(13.5, 14));
        p.drawLine(QPointF(12, 2), QPointF(15, 2));
        p.drawLine(QPointF(12, 14), QPointF(15, 14));
    },
    [](QPainter& p) { // 5: blue diamond with a white letter i
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawPolygon(QPolygonF({{8, 0}, {16, 8}, {8, 16}, {0, 8}}));
        PaintLetter(p, QRectF(4, 3, 8, 10), "i", Qt::white, true);
    },
    [](QPainter& p) { // 6: floppy disk
        p.setPen(QColor(20, 30, 80));
        p.setBrush(QColor(50, 70, 160));
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(QColor(220, 220, 220));
        p.drawRect(QRectF(4.5, 1.5, 7, 5)); // shutter
        p.setBrush(Qt::white);
        p.drawRect(QRectF(3.5, 9.5, 9, 5)); // label
    },
    [](QPainter& p) { // 7: clipboard
        p.setPen(QColor(90, 60, 20));
        p.setBrush(QColor(180, 130, 60));
        p.drawRoundedRect(QRectF(2.5, 2.5, 11, 13), 1.5, 1.5);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 4.5, 7, 9)); // sheet
        p.setBrush(QColor(160, 160, 160));
        p.drawRect(QRectF(5.5, 0.5, 5, 3)); // clip
    },
};

// White double chevrons on a green rounded square; the magenta frame is the
// transparent colour, so the edges are drawn without blending.
QImage Chevrons(bool up)
{
    return Draw(
        16,
        [up](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(kGreen);
            p.drawRoundedRect(QRect(1, 1, 14, 14), 3, 3);
            p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
            for (int tip : {3, 8}) {
                const int y = up ? tip : 15 - tip;
                const int dy = up ? 3 : -3;
                p.drawPolyline(QPolygon({{4, y + dy}, {7, y}, {8, y}, {11, y + dy}}));
            }
        },
        kMagenta, false);
}

bool Save(const QImage& image, const std::string& folder, const std::string& name)
{
    const std::string path = folder + "/" + name + ".png";
    if (!image.save(QString::fromStdString(path), "PNG")) {
        std::fprintf(stderr, "glyphtint-draw-pictures: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: glyphtint-draw-pictures FOLDER\n");
        return 2;
    }
    // Run by the build: no display, and no note about a missing runtime folder.
    glyphtint::raster::PrepareOffscreenApplication();
    QGuiApplication application(argc, argv);
    const std::string folder = argv[1];
    QDir().mkpath(QString::fromStdString(folder));
    bool ok = Save(Duck(32), folder, "duck32") && Save(Duck(16), folder, "duck16");
    for (int i = 0; ok && i < 8; ++i) {
        ok = Save(Draw(16, kListPictures[i]), folder, "list" + std::to_string(i));
    }
    // Program icons for the desktop's menus, drawn for their size.
    for (const int size : {48, 64, 128, 256}) {
        ok = ok &&
             Save(Draw(size, [size](QPainter& p) { PaintLargeDuck(p, size); }), folder, "duck" + std::to_string(size));
    }
    ok = ok && Save(Chevrons(true), folder, "chevrons-up") && Save(Chevrons(false), folder, "chevrons-down");
    return ok ? 0 : 1;
}
