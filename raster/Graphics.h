// Raster pictures: TGraphic, TBitmap with its TCanvas, and TPicture, the owner of one graphic.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// A colour value: red in bits 0-7, green in 8-15, blue in 16-23. Bit 31 set names a
// system colour whose index stands in bits 0-7; pixels never hold one.
using TColor = std::uint32_t;

constexpr TColor clWhite = 0x00FFFFFF;
constexpr TColor clBlack = 0x00000000;
constexpr TColor clWindowText = 0x80000008;
constexpr TColor clNone = 0xFFFFFFFF;

namespace glyphtint::raster {

constexpr TColor MakeColor(int red, int green, int blue)
{
    return static_cast<TColor>(red & 255) | static_cast<TColor>(green & 255) << 8 |
           static_cast<TColor>(blue & 255) << 16;
}
constexpr int RedOf(TColor c)
{
    return static_cast<int>(c & 255);
}
constexpr int GreenOf(TColor c)
{
    return static_cast<int>((c >> 8) & 255);
}
constexpr int BlueOf(TColor c)
{
    return static_cast<int>((c >> 16) & 255);
}

} // namespace glyphtint::raster

// Turns a system colour value into the plain colour it currently stands for.
TColor ColorToRGB(TColor color);

namespace glyphtint::raster {

// Where ColorToRGB finds the plain colour of a system colour index. Programs that draw
// text (the rastertext library) take the desktop's palette from start-up on; others see
// dark text on light faces. Null goes back to those.
using SystemColourLookup = TColor (*)(int index);
void SetSystemColourLookup(SystemColourLookup lookup);

} // namespace glyphtint::raster

class EOutOfResources : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class EInvalidOperation : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class EInvalidGraphicOperation : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TCanvas;

// A drawable picture.
class TGraphic {
public:
    virtual ~TGraphic() = default;
    TGraphic(const TGraphic&) = delete;
    TGraphic& operator=(const TGraphic&) = delete;

    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual bool Empty() const = 0;
    // Draws the picture at its natural size with its top-left corner at (x, y).
    virtual void Draw(TCanvas& canvas, int x, int y) = 0;

    // Called after every change of size or pixels; the owner uses it to repaint.
    std::function<void()> OnChange;

protected:
    TGraphic() = default;
    void Changed()
    {
        if (OnChange) {
            OnChange();
        }
    }
};

// pfDevice is the display's depth: every colour value with 8 bits per channel.
enum class TPixelFormat { pfDevice, pf24bit, pf8bit };

struct TPaletteEntry {
    std::uint8_t Red = 0;
    std::uint8_t Green = 0;
    std::uint8_t Blue = 0;
    bool operator==(const TPaletteEntry&) const = default;
};

enum class TBrushStyle { bsSolid, bsClear };
enum class TPenStyle { psSolid };
enum class TPenMode { pmCopy };
enum class TFontPitch { fpDefault, fpVariable, fpFixed };

struct TBrush {
    TColor Color = clWhite;
    TBrushStyle Style = TBrushStyle::bsSolid;
};

struct TPen {
    TColor Color = clBlack;
    int Width = 1;
    TPenStyle Style = TPenStyle::psSolid;
    TPenMode Mode = TPenMode::pmCopy;
};

struct TFontStyles {
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
};

// Font settings. Height is in pixels: negative means the character height without
// internal leading. Size is the same height in points at the display's resolution, 8
// until a height or size is set. Sizes and text need Qt's fonts: the rastertext library.
class TFont {
public:
    static constexpr int kDefaultPoints = 8;

    std::string Name = "MS Sans Serif";
    TColor Color = clWindowText;
    TFontStyles Style;
    TFontPitch Pitch = TFontPitch::fpDefault;
    int Charset = 1;

    int Height() const;
    void SetHeight(int height) { height_ = height; }
    int Size() const;
    void SetSize(int points);

    // Dots per inch at which a size in points becomes pixels: 96, whatever the screen, so that
    // a picture is the same file on every screen and at every scale.
    static int DisplayDpi();

private:
    std::optional<int> height_; // none: kDefaultPoints at the display's resolution
};

class TBitmap;

// The drawing surface of one bitmap.
class TCanvas {
public:
    static constexpr std::uint32_t cmSrcCopy = 0x00CC0020;

    explicit TCanvas(TBitmap& bitmap) : bitmap_(bitmap) { }
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    // The bitmap this canvas draws on.
    TBitmap& Target() const { return bitmap_; }

    TBrush Brush;
    TPen Pen;
    TFont Font;
    std::uint32_t CopyMode = cmSrcCopy;

    void DrawGraphic(int x, int y, TGraphic* graphic);
    // Outline in the pen colour, interior in the brush colour; x2 and y2 are excluded.
    void PaintRectangle(int x1, int y1, int x2, int y2);
    // One line of text whose box has its top-left corner at (x, y). Text is drawn and
    // measured through Qt's fonts (the rastertext library).
    void WriteText(int x, int y, const std::string& text);
    int MeasureTextWidth(const std::string& text) const;
    int MeasureTextHeight(const std::string& text) const;
    // Outside the bitmap a read gives clNone and a write changes nothing.
    TColor ReadPixel(int x, int y) const;
    void WritePixel(int x, int y, TColor color);

private:
    TBitmap& bitmap_;
};

// A width x height array of colour values. Pixel storage exists only while both
// sides are above 0. Rows keep spare capacity so that growing a strip one glyph at
// a time does not copy the whole image each step.
class TBitmap : public TGraphic {
public:
    TBitmap();
    ~TBitmap() override;

    int Width() const override { return width_; }
    int Height() const override { return height_; }
    bool Empty() const override { return pixels_ == nullptr; }
    void Draw(TCanvas& canvas, int x, int y) override;

    // Changes one side. Kept pixels stay at their place; exposed area takes the brush
    // colour once a canvas exists, white before. The current value does nothing.
    void ResizeWidth(int width);
    void ResizeHeight(int height);
    // The size the bitmap is about to grow to, a side at a time: the next allocation that
    // fits in it makes room for all of it, so that growing there copies nothing and keeps
    // nothing spare. 0 x 0 forgets it.
    void ExpectSize(int width, int height);

    TCanvas& Canvas();
    bool HasCanvas() const { return canvas_ != nullptr; }

    TPixelFormat PixelFormat() const { return format_; }
    void ChangeDepth(TPixelFormat format);
    const std::vector<TPaletteEntry>& Palette() const { return palette_; }
    void SetPalette(std::vector<TPaletteEntry> palette);

    // Direct row access: 4 bytes per pixel (red, green, blue, 0) at the display depth,
    // 3 (blue, green, red) at 24 bits, one palette index at 8 bits.
    int BytesPerPixel() const { return BytesPerPixel(format_); }
    static int BytesPerPixel(TPixelFormat format);
    std::uint8_t* ScanLine(int y) { return pixels_.get() + static_cast<std::size_t>(y) * stride_; }
    const std::uint8_t* ScanLine(int y) const { return pixels_.get() + static_cast<std::size_t>(y) * stride_; }
    // Bytes from one row's start to the next's.
    std::size_t RowStride() const { return stride_; }

    TColor PixelAt(int x, int y) const;
    void SetPixelAt(int x, int y, TColor color);

    // Tells the owner that pixels were changed through ScanLine.
    void NotifyChanged() { Changed(); }

    // A deep copy of size, depth, palette and pixels (no canvas).
    std::unique_ptr<TBitmap> Clone() const;
    // Hands the pixel storage over (rows of RowStride() bytes, read before) and leaves the
    // bitmap empty, 0 x 0: a finished picture passes on without a copy.
    std::unique_ptr<std::uint8_t[]> ReleasePixels();

private:
    void Resize(int width, int height);
    void Reserve(int width, int height);
    void FillArea(int left, int top, int right, int bottom, TColor color);
    TColor ExposedFill() const;
    std::uint8_t NearestPaletteIndex(TColor color) const;

    int width_ = 0;
    int height_ = 0;
    TPixelFormat format_ = TPixelFormat::pfDevice;
    std::vector<TPaletteEntry> palette_;
    // Rows of stride_ bytes; capacityWidth_ x capacityHeight_ pixels are allocated,
    // uninitialised until a resize fills them. Null while the bitmap is empty.
    std::unique_ptr<std::uint8_t[]> pixels_;
    std::size_t stride_ = 0;
    int capacityWidth_ = 0;
    int capacityHeight_ = 0;
    int expectedWidth_ = 0;
    int expectedHeight_ = 0;
    std::unique_ptr<TCanvas> canvas_;
};

// Owner of at most one graphic, as an image control holds it.
class TPicture {
public:
    TPicture() = default;
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    TGraphic* Graphic() const { return graphic_.get(); }
    // Takes ownership; the graphic held before is destroyed.
    void SetGraphic(std::unique_ptr<TGraphic> graphic);
    // The held bitmap, or a new empty one in place of whatever was held.
    TBitmap& AsBitmap();
    int Width() const { return graphic_ ? graphic_->Width() : 0; }
    int Height() const { return graphic_ ? graphic_->Height() : 0; }

    // Called after every change of the graphic or of its pixels.
    std::function<void()> OnChange;

private:
    void Changed()
    {
        if (OnChange) {
            OnChange();
        }
    }

    std::unique_ptr<TGraphic> graphic_;
};
