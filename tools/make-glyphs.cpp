// glyphtint-make-glyphs: draws the glyph pictures that ship with the program and writes
// them as the ZIP archive glyphtint.gfx. Run by the build; needs no display.
#include "raster/JPEGImage.h"
#include "render/GlyphBackground.h"
#include "render/GlyphNames.h"
#include "tools/GfxCheck.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include <zip.h>

#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kGlyphHeight = 20;
constexpr int kFontPixels = 14;
// Baseline row: capitals reach up to about row 3, descenders down to about row 17, so
// the top and bottom rows stay background even after JPEG coding.
constexpr int kBaseline = 14;
constexpr int kSideMargin = 1;
constexpr int kQuality = 95;
constexpr const char* kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

// Tinting blends by brightness above the background, so a light gradient from white at
// the top to a soft grey at the bottom keeps the shading in every tint.
const QColor kInkTop(255, 255, 255);
const QColor kInkBottom(200, 202, 198);

// The samples of the two palette strings and the room each strip has.
constexpr const char* kPaletteSamples[] = {"1234567890abcdefghijklmn", "opqrstuvwxyz/*-+?@_[]=|<>,."};
constexpr int kPaletteWidth = 338;

// DOS date and time of every entry (2024-01-01 00:00), so that builds are reproducible.
constexpr std::time_t kEntryTime = 1704067200;

// Entries left uncompressed: a few, so that the archive has both methods the reader
// supports; deflating saves little on JPEG data anyway.
const std::set<std::string> kStoredEntries = {"spc.jpg", "dot.jpg", "comma.jpg"};

struct ZipCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};

QFont GlyphFont()
{
    const int id = QFontDatabase::addApplicationFont(kFontFile);
    if (id < 0)
        throw std::runtime_error(std::string("cannot load the font ") + kFontFile);
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    QFont font(families.isEmpty() ? QStringLiteral("DejaVu Sans") : families.first());
    font.setPixelSize(kFontPixels);
    font.setBold(true);
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

int GlyphWidth(const QFontMetricsF& metrics, unsigned char c)
{
    return static_cast<int>(std::ceil(metrics.horizontalAdvance(QChar(c)))) + 2 * kSideMargin;
}

QImage DrawGlyph(const QFont& font, unsigned char c)
{
    const QFontMetricsF metrics(font);
    QImage image(GlyphWidth(metrics, c), kGlyphHeight, QImage::Format_RGB32);
    image.fill(QColor(RedOf(glyphtint::render::kGlyphBackgroundColour),
                      GreenOf(glyphtint::render::kGlyphBackgroundColour),
                      BlueOf(glyphtint::render::kGlyphBackgroundColour)));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font);
    QLinearGradient gradient(0, kBaseline - metrics.capHeight(), 0, kBaseline + metrics.descent());
    gradient.setColorAt(0, kInkTop);
    gradient.setColorAt(1, kInkBottom);
    painter.setPen(QPen(QBrush(gradient), 1));
    painter.drawText(QPointF(kSideMargin, kBaseline), QString(QChar(c)));
    painter.end();
    return image;
}

std::string EncodeGlyph(const QImage& image)
{
    TBitmap bitmap;
    bitmap.ResizeWidth(image.width());
    bitmap.ResizeHeight(image.height());
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            bitmap.SetPixelAt(x, y, MakeColor(qRed(line[x]), qGreen(line[x]), qBlue(line[x])));
    }
    TJPEGImage jpeg;
    jpeg.Settings.EncodeQuality = kQuality;
    jpeg.AssignBitmap(bitmap);
    return jpeg.SaveToBytes();
}

void WriteArchive(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries)
{
    int error = 0;
    std::unique_ptr<zip_t, ZipCloser> archive(zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error));
    if (!archive) {
        zip_error_t details;
        zip_error_init_with_code(&details, error);
        const std::string message = zip_error_strerror(&details);
        zip_error_fini(&details);
        throw std::runtime_error("cannot create " + path + ": " + message);
    }
    for (const auto& [name, bytes] : entries) {
        // The buffers belong to entries, which outlive zip_close.
        zip_source_t* source = zip_source_buffer(archive.get(), bytes.data(), bytes.size(), 0);
        if (source == nullptr)
            throw std::runtime_error(std::string("cannot add ") + name + ": " + zip_strerror(archive.get()));
        const zip_int64_t index = zip_file_add(archive.get(), name.c_str(), source, ZIP_FL_ENC_GUESS);
        if (index < 0) {
            zip_source_free(source);
            throw std::runtime_error(std::string("cannot add ") + name + ": " + zip_strerror(archive.get()));
        }
        const zip_int32_t method = kStoredEntries.count(name) != 0 ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
        if (zip_set_file_compression(archive.get(), static_cast<zip_uint64_t>(index), method, 9) < 0 ||
            zip_file_set_mtime(archive.get(), static_cast<zip_uint64_t>(index), kEntryTime, 0) < 0)
            throw std::runtime_error(std::string("cannot set up ") + name + ": " + zip_strerror(archive.get()));
    }
    if (zip_close(archive.get()) < 0)
        throw std::runtime_error("cannot write " + path + ": " + zip_strerror(archive.get()));
    archive.release();
}

int Run(const std::string& path)
{
    const QFont font = GlyphFont();
    const QFontMetricsF metrics(font);

    for (const char* samples : kPaletteSamples) {
        int width = 0;
        for (const char* c = samples; *c != '\0'; ++c)
            width += GlyphWidth(metrics, static_cast<unsigned char>(*c));
        if (width > kPaletteWidth) {
            std::cerr << "the palette samples \"" << samples << "\" take " << width << " pixels, more than "
                      << kPaletteWidth << '\n';
            return 1;
        }
    }

    std::vector<std::pair<std::string, std::string>> entries;
    for (unsigned char c : DrawableGlyphBytes())
        entries.emplace_back(FullGlyphEntryName(c), EncodeGlyph(DrawGlyph(font, c)));
    WriteArchive(path, entries);

    // Read it back the way the program does before the build may use it.
    const std::vector<std::string> problems = CheckGlyphArchive(path);
    for (const std::string& problem : problems)
        std::cerr << path << ": " << problem << '\n';
    if (!problems.empty()) {
        std::remove(path.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: glyphtint-make-glyphs OUTPUT.gfx\n";
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    try {
        return Run(argv[1]);
    } catch (const std::exception& e) {
        std::cerr << "glyphtint-make-glyphs: " << e.what() << '\n';
        return 1;
    }
}
