// TBitmap: pixel storage with amortised growth, depth conversion and source-copy drawing.
#include "raster/Graphics.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <new>

using glyphtint::raster::BlueOf;
using glyphtint::raster::GreenOf;
using glyphtint::raster::MakeColor;
using glyphtint::raster::RedOf;

namespace {

// Largest pixel storage we hand out; the display server refuses far smaller images,
// and anything above it is certainly a broken request rather than a picture.
constexpr std::int64_t kMaxPixelBytes = std::int64_t{1} << 31;

const char* const kOutOfResources = "Out of system resources";

// A 6x6x6 colour cube followed by 40 greys: the palette an 8-bit bitmap gets when
// it is converted without one.
std::vector<TPaletteEntry> DefaultPalette()
{
    std::vector<TPaletteEntry> palette;
    palette.reserve(256);
    for (int r = 0; r < 6; ++r) {
        for (int g = 0; g < 6; ++g) {
            for (int b = 0; b < 6; ++b) {
                palette.push_back({static_cast<std::uint8_t>(r * 51), static_cast<std::uint8_t>(g * 51),
                                   static_cast<std::uint8_t>(b * 51)});
            }
        }
    }
    for (int i = 0; i < 40; ++i) {
        auto v = static_cast<std::uint8_t>((i * 255 + 19) / 39);
        palette.push_back({v, v, v});
    }
    return palette;
}

} // namespace

int TBitmap::BytesPerPixel(TPixelFormat format)
{
    switch (format) {
    case TPixelFormat::pfDevice: return 4;
    case TPixelFormat::pf24bit: return 3;
    case TPixelFormat::pf8bit: return 1;
    }
    return 4;
}

TBitmap::TBitmap() = default;
TBitmap::~TBitmap() = default;

TCanvas& TBitmap::Canvas()
{
    if (!canvas_) {
        canvas_ = std::make_unique<TCanvas>(*this);
    }
    return *canvas_;
}

TColor TBitmap::ExposedFill() const
{
    if (!canvas_) {
        return clWhite;
    }
    return ColorToRGB(canvas_->Brush.Color);
}

void TBitmap::ExpectSize(int width, int height)
{
    expectedWidth_ = std::max(width, 0);
    expectedHeight_ = std::max(height, 0);
}

void TBitmap::ResizeWidth(int width)
{
    if (width != width_) {
        Resize(width, height_);
    }
}

void TBitmap::ResizeHeight(int height)
{
    if (height != height_) {
        Resize(width_, height);
    }
}

// Makes room for at least width x height pixels, keeping the pixels that stand in the
// area shared by the current and the new size. Leaves everything as it was on failure.
void TBitmap::Reserve(int width, int height)
{
    const int bpp = BytesPerPixel();
    auto fits = [bpp](std::int64_t w, std::int64_t h) { return w * h * bpp <= kMaxPixelBytes; };
    if (!fits(width, height)) {
        throw EOutOfResources(kOutOfResources);
    }

    // Grow by half again so that a strip widened one glyph at a time stays amortised.
    auto grown = [](int needed, int capacity) -> std::int64_t {
        if (needed <= capacity) {
            return capacity;
        }
        return std::max<std::int64_t>(needed, capacity + std::int64_t{capacity} / 2);
    };
    std::int64_t newCapW = grown(width, capacityWidth_);
    std::int64_t newCapH = grown(height, capacityHeight_);
    // Room for the size announced, at once, when this step is on the way there.
    if (width <= expectedWidth_ && height <= expectedHeight_ && fits(expectedWidth_, expectedHeight_)) {
        newCapW = expectedWidth_;
        newCapH = expectedHeight_;
    }
    if (!fits(newCapW, newCapH)) {
        newCapW = width;
        newCapH = height;
    }

    std::unique_ptr<std::uint8_t[]> storage(new (std::nothrow) std::uint8_t[newCapW * newCapH * bpp]);
    if (!storage) {
        throw EOutOfResources(kOutOfResources);
    }

    const std::size_t newStride = static_cast<std::size_t>(newCapW) * bpp;
    if (pixels_) {
        const std::size_t keepBytes = static_cast<std::size_t>(std::min(width_, width)) * bpp;
        const int keepRows = std::min(height_, height);
        for (int y = 0; y < keepRows; ++y) {
            std::memcpy(storage.get() + y * newStride, ScanLine(y), keepBytes);
        }
    }
    pixels_ = std::move(storage);
    stride_ = newStride;
    capacityWidth_ = static_cast<int>(newCapW);
    capacityHeight_ = static_cast<int>(newCapH);
}

void TBitmap::Resize(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == 0 || height == 0) {
        pixels_.reset();
        stride_ = 0;
        capacityWidth_ = capacityHeight_ = 0;
        width_ = width;
        height_ = height;
        Changed();
        return;
    }

    const TColor fill = ExposedFill();
    const bool hadPixels = pixels_ != nullptr;
    const int keptWidth = hadPixels ? std::min(width_, width) : 0;
    const int keptHeight = hadPixels ? std::min(height_, height) : 0;
    if (!hadPixels || width > capacityWidth_ || height > capacityHeight_) {
        Reserve(width, height);
    }

    // Pixels beyond the old size may hold leftovers of an earlier, larger size.
    FillArea(keptWidth, 0, width, keptHeight, fill);
    FillArea(0, keptHeight, width, height, fill);
    width_ = width;
    height_ = height;
    Changed();
}

std::uint8_t TBitmap::NearestPaletteIndex(TColor color) const
{
    int best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (std::size_t i = 0; i < palette_.size() && i < 256; ++i) {
        const int dr = palette_[i].Red - RedOf(color);
        const int dg = palette_[i].Green - GreenOf(color);
        const int db = palette_[i].Blue - BlueOf(color);
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<int>(i);
            if (distance == 0) {
                break;
            }
        }
    }
    return static_cast<std::uint8_t>(best);
}

void TBitmap::FillArea(int left, int top, int right, int bottom, TColor color)
{
    if (left >= right || top >= bottom) {
        return;
    }
    switch (format_) {
    case TPixelFormat::pfDevice: {
        // A device pixel is the colour value itself in little-endian byte order.
        static_assert(std::endian::native == std::endian::little);
        const std::uint32_t value = color & 0x00FFFFFF;
        for (int y = top; y < bottom; ++y) {
            auto* row = ScanLine(y) + static_cast<std::size_t>(left) * 4;
            for (int x = left; x < right; ++x, row += 4) {
                std::memcpy(row, &value, 4);
            }
        }
        break;
    }
    case TPixelFormat::pf24bit:
        for (int y = top; y < bottom; ++y) {
            auto* row = ScanLine(y) + static_cast<std::size_t>(left) * 3;
            for (int x = left; x < right; ++x, row += 3) {
                row[0] = static_cast<std::uint8_t>(BlueOf(color));
                row[1] = static_cast<std::uint8_t>(GreenOf(color));
                row[2] = static_cast<std::uint8_t>(RedOf(color));
            }
        }
        break;
    case TPixelFormat::pf8bit: {
        const std::uint8_t index = NearestPaletteIndex(color);
        for (int y = top; y < bottom; ++y) {
            std::memset(ScanLine(y) + left, index, static_cast<std::size_t>(right - left));
        }
        break;
    }
    }
}

TColor TBitmap::PixelAt(int x, int y) const
{
    const std::uint8_t* p = ScanLine(y) + static_cast<std::size_t>(x) * BytesPerPixel();
    switch (format_) {
    case TPixelFormat::pfDevice: return MakeColor(p[0], p[1], p[2]);
    case TPixelFormat::pf24bit: return MakeColor(p[2], p[1], p[0]);
    case TPixelFormat::pf8bit:
        if (*p < palette_.size()) {
            const TPaletteEntry& e = palette_[*p];
            return MakeColor(e.Red, e.Green, e.Blue);
        }
        return clBlack;
    }
    return clBlack;
}

void TBitmap::SetPixelAt(int x, int y, TColor color)
{
    std::uint8_t* p = ScanLine(y) + static_cast<std::size_t>(x) * BytesPerPixel();
    switch (format_) {
    case TPixelFormat::pfDevice:
        p[0] = static_cast<std::uint8_t>(RedOf(color));
        p[1] = static_cast<std::uint8_t>(GreenOf(color));
        p[2] = static_cast<std::uint8_t>(BlueOf(color));
        p[3] = 0;
        break;
    case TPixelFormat::pf24bit:
        p[0] = static_cast<std::uint8_t>(BlueOf(color));
        p[1] = static_cast<std::uint8_t>(GreenOf(color));
        p[2] = static_cast<std::uint8_t>(RedOf(color));
        break;
    case TPixelFormat::pf8bit: *p = NearestPaletteIndex(color); break;
    }
}

void TBitmap::SetPalette(std::vector<TPaletteEntry> palette)
{
    if (palette.size() > 256) {
        palette.resize(256);
    }
    palette_ = std::move(palette);
    if (format_ == TPixelFormat::pf8bit && !Empty()) {
        Changed();
    }
}

void TBitmap::ChangeDepth(TPixelFormat format)
{
    if (format == format_) {
        return;
    }
    if (format == TPixelFormat::pf8bit && palette_.empty()) {
        palette_ = DefaultPalette();
    }

    TBitmap converted;
    converted.format_ = format;
    converted.palette_ = palette_;
    if (!Empty()) {
        converted.Reserve(width_, height_);
        converted.width_ = width_;
        converted.height_ = height_;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                converted.SetPixelAt(x, y, PixelAt(x, y));
            }
        }
    }
    format_ = format;
    pixels_ = std::move(converted.pixels_);
    stride_ = converted.stride_;
    capacityWidth_ = converted.capacityWidth_;
    capacityHeight_ = converted.capacityHeight_;
    Changed();
}

std::unique_ptr<TBitmap> TBitmap::Clone() const
{
    auto copy = std::make_unique<TBitmap>();
    copy->format_ = format_;
    copy->palette_ = palette_;
    copy->width_ = width_;
    copy->height_ = height_;
    if (!Empty()) {
        copy->Reserve(width_, height_);
        const std::size_t rowBytes = static_cast<std::size_t>(width_) * BytesPerPixel();
        for (int y = 0; y < height_; ++y) {
            std::memcpy(copy->ScanLine(y), ScanLine(y), rowBytes);
        }
    }
    return copy;
}

std::unique_ptr<std::uint8_t[]> TBitmap::ReleasePixels()
{
    std::unique_ptr<std::uint8_t[]> storage = std::move(pixels_);
    stride_ = 0;
    capacityWidth_ = capacityHeight_ = 0;
    width_ = height_ = 0;
    Changed();
    return storage;
}

void TBitmap::Draw(TCanvas& canvas, int x, int y)
{
    if (Empty()) {
        return;
    }
    TBitmap& target = canvas.Target();
    if (&target == this) {
        // Drawing a bitmap onto itself: copy first so overlapping rows read the old pixels.
        Clone()->Draw(canvas, x, y);
        return;
    }
    const int left = std::max(0, x);
    const int top = std::max(0, y);
    const int right = static_cast<int>(std::min<std::int64_t>(target.Width(), std::int64_t{x} + width_));
    const int bottom = static_cast<int>(std::min<std::int64_t>(target.Height(), std::int64_t{y} + height_));
    if (left >= right || top >= bottom || target.Empty()) {
        return;
    }

    const bool sameLayout =
        format_ == target.format_ && (format_ != TPixelFormat::pf8bit || palette_ == target.palette_);
    for (int row = top; row < bottom; ++row) {
        const int sourceRow = row - y;
        if (sameLayout) {
            const int bpp = BytesPerPixel();
            std::memcpy(target.ScanLine(row) + static_cast<std::size_t>(left) * bpp,
                        ScanLine(sourceRow) + static_cast<std::size_t>(left - x) * bpp,
                        static_cast<std::size_t>(right - left) * bpp);
        } else if (format_ == TPixelFormat::pf24bit && target.format_ == TPixelFormat::pfDevice) {
            // Decoded JPEG glyphs take this way into the strip.
            const std::uint8_t* from = ScanLine(sourceRow) + static_cast<std::size_t>(left - x) * 3;
            std::uint8_t* to = target.ScanLine(row) + static_cast<std::size_t>(left) * 4;
            for (int col = left; col < right; ++col, from += 3, to += 4) {
                to[0] = from[2];
                to[1] = from[1];
                to[2] = from[0];
                to[3] = 0;
            }
        } else {
            for (int col = left; col < right; ++col) {
                target.SetPixelAt(col, row, PixelAt(col - x, sourceRow));
            }
        }
    }
}

void TPicture::SetGraphic(std::unique_ptr<TGraphic> graphic)
{
    graphic_ = std::move(graphic);
    if (graphic_) {
        graphic_->OnChange = [this] { Changed(); };
    }
    Changed();
}

TBitmap& TPicture::AsBitmap()
{
    if (auto* bitmap = dynamic_cast<TBitmap*>(graphic_.get())) {
        return *bitmap;
    }
    auto bitmap = std::make_unique<TBitmap>();
    TBitmap& result = *bitmap;
    SetGraphic(std::move(bitmap));
    return result;
}
