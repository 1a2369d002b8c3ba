// Row-wise conversion between TBitmap rows and Qt's RGB32 rows.
#include "raster/QtImage.h"

#include <bit>
#include <memory>
#include <utility>
#include <vector>

namespace glyphtint::raster {

void ReadRowRgb32(const TBitmap& bitmap, int y, int left, int count, QRgb* out)
{
    const std::uint8_t* source = bitmap.ScanLine(y) + static_cast<std::size_t>(left) * bitmap.BytesPerPixel();
    switch (bitmap.PixelFormat()) {
    case TPixelFormat::pfDevice:
        // Red, green, blue and a spare byte per pixel; Qt has no opaque format with that
        // byte order whose spare byte may be 0, so the bytes are rearranged here.
        for (int x = 0; x < count; ++x, source += 4) {
            out[x] = qRgb(source[0], source[1], source[2]);
        }
        break;
    case TPixelFormat::pf24bit:
        for (int x = 0; x < count; ++x, source += 3) {
            out[x] = qRgb(source[2], source[1], source[0]);
        }
        break;
    case TPixelFormat::pf8bit: {
        const std::vector<TPaletteEntry>& palette = bitmap.Palette();
        for (int x = 0; x < count; ++x) {
            // An index past the palette reads as black, as PixelAt reads it.
            out[x] = source[x] < palette.size()
                         ? qRgb(palette[source[x]].Red, palette[source[x]].Green, palette[source[x]].Blue)
                         : qRgb(0, 0, 0);
        }
        break;
    }
    }
}

void WriteRowRgb32(TBitmap& bitmap, int y, int left, int count, const QRgb* in)
{
    std::uint8_t* target = bitmap.ScanLine(y) + static_cast<std::size_t>(left) * bitmap.BytesPerPixel();
    switch (bitmap.PixelFormat()) {
    case TPixelFormat::pfDevice:
        for (int x = 0; x < count; ++x, target += 4) {
            target[0] = static_cast<std::uint8_t>(qRed(in[x]));
            target[1] = static_cast<std::uint8_t>(qGreen(in[x]));
            target[2] = static_cast<std::uint8_t>(qBlue(in[x]));
            target[3] = 0;
        }
        break;
    case TPixelFormat::pf24bit:
        for (int x = 0; x < count; ++x, target += 3) {
            target[0] = static_cast<std::uint8_t>(qBlue(in[x]));
            target[1] = static_cast<std::uint8_t>(qGreen(in[x]));
            target[2] = static_cast<std::uint8_t>(qRed(in[x]));
        }
        break;
    case TPixelFormat::pf8bit:
        // The nearest palette entry is found per colour anyway.
        for (int x = 0; x < count; ++x) {
            bitmap.SetPixelAt(left + x, y, MakeColor(qRed(in[x]), qGreen(in[x]), qBlue(in[x])));
        }
        break;
    }
}

QImage ToQImage(const TBitmap& bitmap)
{
    return ToQImage(bitmap, QRect(0, 0, bitmap.Width(), bitmap.Height()));
}

QImage ToQImage(const TBitmap& bitmap, const QRect& area)
{
    const QRect part = area.intersected(QRect(0, 0, bitmap.Width(), bitmap.Height()));
    if (bitmap.Empty() || part.isEmpty()) {
        return {};
    }
    QImage image(part.width(), part.height(), QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    for (int y = 0; y < part.height(); ++y) {
        ReadRowRgb32(bitmap, part.top() + y, part.left(), part.width(), reinterpret_cast<QRgb*>(image.scanLine(y)));
    }
    return image;
}

namespace {

// Display-depth pixels (red, green, blue, 0 in memory) to Qt's RGB32 (blue, green, red,
// 255 in memory on this little-endian machine) and back, in place: a swap of red and blue
// either way, with the spare byte Qt's opaque 255 or the bitmap's 0.
void SwapRedAndBlue(TBitmap& bitmap, std::uint8_t spare)
{
    for (int y = 0; y < bitmap.Height(); ++y) {
        std::uint8_t* pixel = bitmap.ScanLine(y);
        for (int x = 0; x < bitmap.Width(); ++x, pixel += 4) {
            std::swap(pixel[0], pixel[2]);
            pixel[3] = spare;
        }
    }
}

// Whether the bitmap's own storage can stand as an RGB32 image.
bool SharesQtLayout(const TBitmap& bitmap)
{
    static_assert(std::endian::native == std::endian::little);
    return !bitmap.Empty() && bitmap.PixelFormat() == TPixelFormat::pfDevice;
}

} // namespace

void LendAsQImage(TBitmap& bitmap, const std::function<void(const QImage&)>& use)
{
    if (!SharesQtLayout(bitmap)) {
        use(ToQImage(bitmap));
        return;
    }
    // Put back whatever use does, so that the bitmap never keeps Qt's order.
    struct Restore {
        TBitmap& bitmap;
        ~Restore() { SwapRedAndBlue(bitmap, 0); }
    };
    SwapRedAndBlue(bitmap, 255);
    const Restore restore{bitmap};
    const QImage lent(static_cast<const uchar*>(bitmap.ScanLine(0)), bitmap.Width(), bitmap.Height(),
                      static_cast<qsizetype>(bitmap.RowStride()), QImage::Format_RGB32);
    use(lent);
}

} // namespace glyphtint::raster

QImage MakeClipboardBitmap(const TBitmap& bitmap)
{
    QImage image = glyphtint::raster::ToQImage(bitmap);
    if (image.isNull() && !bitmap.Empty()) {
        throw EOutOfResources("Out of system resources");
    }
    return image;
}
