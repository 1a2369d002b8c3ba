// glyphtint-make-glyphs: draws a glyph pack from a font and writes it as a ZIP archive
// like glyphtint.gfx. Without options it draws the pack that ships with the program (the
// build runs it so); with --font and --height it draws one from any font. Needs no display.
#include "io/FileReplacement.h"
#include "io/InputFiles.h"
#include "raster/JPEGImage.h"
#include "render/GlyphBackground.h"
#include "render/GlyphNames.h"
#include "tools/CommandLine.h"
#include "render/GfxCheck.h"
#include "raster/OffscreenApplication.h"
#include "tools/StandardStreams.h"

#include <QByteArray>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>

#include <zip.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using glyphtint::raster::BlueOf;
using glyphtint::raster::GreenOf;
using glyphtint::raster::MakeColor;
using glyphtint::raster::RedOf;
using glyphtint::render::DrawableGlyphBytes;
using glyphtint::render::FullGlyphEntryName;

namespace glyphtint::tools {
namespace {

constexpr const char* kProgram = "glyphtint-make-glyphs";
constexpr const char* kUsage = "usage: glyphtint-make-glyphs [--font FILE.ttf] [--height N] OUT.gfx\n"
                               "Draws one JPEG glyph for every character the program draws, light on the glyph\n"
                               "background colour, and writes them as a glyph archive. FILE.ttf is any TrueType or\n"
                               "OpenType font (default: the program's own, DejaVu Sans Bold); N is the glyph height\n"
                               "in pixels, 8 to 256 (default 20). The archive is checked as glyphtint-gfx check does\n"
                               "and written only when it passes; an existing OUT.gfx is replaced only then.\n"
                               "--help and --version print this text and the version. Exit status: 0 written,\n"
                               "1 failed (the message says why), 2 wrong usage.\n";

constexpr int kDefaultHeight = 20;
constexpr int kMinHeight = 8;
constexpr int kMaxHeight = 256;
// At the default height the font is 14 pixels and the baseline row 14: capitals reach
// up to about row 3, descenders down to about row 17, so the top and bottom rows stay
// background even after JPEG coding. Other heights scale both.
constexpr double kFontShare = 0.7;
constexpr int kQuality = 95;
constexpr const char* kDefaultFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
// The largest font file read: the big CJK collections take some 30 MB.
constexpr std::uint64_t kMaxFontBytes = std::uint64_t{256} << 20;

// Tinting blends by brightness above the background, so a light gradient from white at
// the top to a soft grey at the bottom keeps the shading in every tint.
const QColor kInkTop(255, 255, 255);
const QColor kInkBottom(200, 202, 198);

// The samples of the two palette strings and the room the window gives each strip.
constexpr const char* kPaletteSamples[] = {"1234567890abcdefghijklmn", "opqrstuvwxyz/*-+?@_[]=|<>,."};
constexpr int kPaletteWidth = 338;
constexpr int kPaletteHeight = 32;

// DOS date and time of every entry (2024-01-01 00:00), so that builds are reproducible.
constexpr std::time_t kEntryTime = 1704067200;

// Glyph entries are stored, not deflated: deflate shrinks only the JPEG headers (about
// a fifth of the archive) and costs an inflate on every glyph of every render.

struct Options {
    std::string fontFile;
    std::optional<int> height;
    std::string output;

    // The pack the build ships must fit the window exactly; a user's own pack may not.
    bool Shipped() const { return fontFile.empty() && !height; }
};

// How the glyphs are drawn: font, picture height, baseline row and side margins.
struct GlyphStyle {
    QFont font;
    // The font file's bytes, read again as Qt's raw font to check what it can draw.
    QByteArray fontData;
    std::string fontFile;
    QString family; // as the font database named it on loading
    int height = kDefaultHeight;
    int baseline = 0;
    int sideMargin = 1;
};

struct ZipDiscarder {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};

void ParseArguments(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if ((argument == "--font" || argument == "--height") && i + 1 == argc) {
            throw EUsage("option '" + std::string(argument) + "' needs a value");
        }
        if (argument == "--font") {
            options.fontFile = argv[++i];
        } else if (argument == "--height") {
            const std::string_view value = argv[++i];
            int height = 0;
            const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), height);
            if (error != std::errc() || end != value.data() + value.size() || height < kMinHeight ||
                height > kMaxHeight) {
                throw EUsage("--height " + std::string(value) + ": the height is a number from " +
                             std::to_string(kMinHeight) + " to " + std::to_string(kMaxHeight));
            }
            options.height = height;
        } else if (!argument.empty() && argument[0] == '-') {
            throw UnknownOption(argument);
        } else if (!options.output.empty()) {
            throw EUsage("more than one OUT.gfx: '" + std::string(argument) + "'");
        } else {
            options.output = argument;
        }
    }
    if (options.output.empty()) {
        throw EUsage("no OUT.gfx given");
    }
}

QFont LoadFont(const Options& options, GlyphStyle& style)
{
    const std::string file = options.fontFile.empty() ? kDefaultFontFile : options.fontFile;
    std::string bytes;
    try {
        bytes = io::ReadRegularFile(file, kMaxFontBytes);
    } catch (const io::EInputFileError& e) {
        throw std::runtime_error("Cannot read " + file + " as a TrueType or OpenType font: " + e.what());
    }
    style.fontFile = file;
    style.fontData = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const int id = QFontDatabase::addApplicationFontFromData(style.fontData);
    const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty()) {
        throw std::runtime_error("Cannot read " + file + " as a TrueType or OpenType font");
    }
    style.family = families.first();
    QFont font(families.first());
    if (options.fontFile.empty()) {
        font.setBold(true);
    } else {
        // Take the face the file holds, whatever its weight and slant.
        const QStringList styles = QFontDatabase::styles(families.first());
        if (!styles.isEmpty()) {
            font = QFontDatabase::font(families.first(), styles.first(), 12);
        }
    }
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

GlyphStyle MakeStyle(const Options& options)
{
    GlyphStyle style;
    style.font = LoadFont(options, style);
    style.height = options.height.value_or(kDefaultHeight);
    style.sideMargin = std::max(1, static_cast<int>(std::lround(style.height / 20.0)));
    const int scaled = static_cast<int>(std::lround(style.height * kFontShare));

    // Shrink a font whose capitals and descenders would not fit between the top and
    // bottom rows, which must stay background.
    int pixels = scaled;
    style.font.setPixelSize(pixels);
    while (pixels > 4) {
        const QFontMetricsF metrics(style.font);
        if (metrics.capHeight() + metrics.descent() <= style.height - 2) {
            break;
        }
        style.font.setPixelSize(--pixels);
    }
    const QFontMetricsF metrics(style.font);
    const int lowest = static_cast<int>(std::ceil(metrics.capHeight())) + 1;
    const int highest = style.height - 1 - static_cast<int>(std::ceil(metrics.descent()));
    style.baseline = std::max(lowest, std::min(scaled, highest));
    return style;
}

int GlyphWidth(const GlyphStyle& style, unsigned char c)
{
    const QFontMetricsF metrics(style.font);
    return static_cast<int>(std::ceil(metrics.horizontalAdvance(QChar(c)))) + 2 * style.sideMargin;
}

QImage DrawGlyph(const GlyphStyle& style, unsigned char c)
{
    const QFontMetricsF metrics(style.font);
    QImage image(GlyphWidth(style, c), style.height, QImage::Format_RGB32);
    image.fill(QColor(RedOf(render::kGlyphBackgroundColour), GreenOf(render::kGlyphBackgroundColour),
                      BlueOf(render::kGlyphBackgroundColour)));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(style.font);
    QLinearGradient gradient(0, style.baseline - metrics.capHeight(), 0, style.baseline + metrics.descent());
    gradient.setColorAt(0, kInkTop);
    gradient.setColorAt(1, kInkBottom);
    painter.setPen(QPen(QBrush(gradient), 1));
    painter.drawText(QPointF(style.sideMargin, style.baseline), QString(QChar(c)));
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
        for (int x = 0; x < image.width(); ++x) {
            bitmap.SetPixelAt(x, y, MakeColor(qRed(line[x]), qGreen(line[x]), qBlue(line[x])));
        }
    }
    TJPEGImage jpeg;
    jpeg.Settings.EncodeQuality = kQuality;
    jpeg.AssignBitmap(bitmap);
    return jpeg.SaveToBytes();
}

struct SourceDiscarder {
    void operator()(zip_source_t* source) const { zip_source_free(source); }
};

// The glyph archive's bytes, made in memory: no file exists before the pack is complete.
std::string MakeArchive(const std::vector<std::pair<std::string, std::string>>& entries)
{
    zip_error_t error;
    zip_error_init(&error);
    std::unique_ptr<zip_source_t, SourceDiscarder> memory(zip_source_buffer_create(nullptr, 0, 0, &error));
    std::unique_ptr<zip_t, ZipDiscarder> archive(memory ? zip_open_from_source(memory.get(), ZIP_TRUNCATE, &error)
                                                        : nullptr);
    if (!archive) {
        const std::string message = zip_error_strerror(&error);
        zip_error_fini(&error);
        throw std::runtime_error("cannot make the archive in memory: " + message);
    }
    zip_error_fini(&error);
    // The archive takes over a reference; the source must outlive zip_close to be read.
    zip_source_keep(memory.get());
    for (const auto& [name, bytes] : entries) {
        // The buffers belong to entries, which outlive zip_close.
        zip_source_t* source = zip_source_buffer(archive.get(), bytes.data(), bytes.size(), 0);
        if (source == nullptr) {
            throw std::runtime_error(std::string("cannot add ") + name + ": " + zip_strerror(archive.get()));
        }
        const zip_int64_t index = zip_file_add(archive.get(), name.c_str(), source, ZIP_FL_ENC_GUESS);
        if (index < 0) {
            zip_source_free(source);
            throw std::runtime_error(std::string("cannot add ") + name + ": " + zip_strerror(archive.get()));
        }
        if (zip_set_file_compression(archive.get(), static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0) < 0 ||
            zip_file_set_mtime(archive.get(), static_cast<zip_uint64_t>(index), kEntryTime, 0) < 0) {
            throw std::runtime_error(std::string("cannot set up ") + name + ": " + zip_strerror(archive.get()));
        }
    }
    if (zip_close(archive.get()) < 0) {
        throw std::runtime_error(std::string("cannot write the archive: ") + zip_strerror(archive.get()));
    }
    archive.release();

    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_source_stat(memory.get(), &stat) < 0 || (stat.valid & ZIP_STAT_SIZE) == 0 ||
        zip_source_open(memory.get()) < 0) {
        throw std::runtime_error("cannot read the archive back from memory");
    }
    std::string bytes(static_cast<std::size_t>(stat.size), '\0');
    const zip_int64_t got = zip_source_read(memory.get(), bytes.data(), stat.size);
    zip_source_close(memory.get());
    if (got < 0 || static_cast<zip_uint64_t>(got) != stat.size) {
        throw std::runtime_error("cannot read the archive back from memory");
    }
    return bytes;
}

// Whether the two palette strings still fit the window's colours panel. Returns the
// problems found, one per line.
std::vector<std::string> PaletteProblems(const GlyphStyle& style)
{
    std::vector<std::string> problems;
    for (const char* samples : kPaletteSamples) {
        int width = 0;
        for (const char* c = samples; *c != '\0'; ++c) {
            width += GlyphWidth(style, static_cast<unsigned char>(*c));
        }
        if (width > kPaletteWidth) {
            problems.push_back("the palette samples \"" + std::string(samples) + "\" take " + std::to_string(width) +
                               " pixels, more than the " + std::to_string(kPaletteWidth) +
                               " the window shows, which cuts them at both ends");
        }
    }
    if (style.height > kPaletteHeight) {
        problems.push_back("glyphs " + std::to_string(style.height) + " pixels high are taller than the " +
                           std::to_string(kPaletteHeight) +
                           " the window's palette images show, which cut them at top and bottom");
    }
    return problems;
}

// Whether the glyph leaves any ink when drawn alone.
bool HasInk(const QRawFont& font, quint32 glyph)
{
    const QImage coverage = font.alphaMapForGlyph(glyph, QRawFont::PixelAntialiasing);
    // The row's pixels, not the padding after them.
    const qsizetype rowBytes = qsizetype{coverage.width()} * coverage.depth() / 8;
    for (int y = 0; y < coverage.height(); ++y) {
        const uchar* row = coverage.constScanLine(y);
        for (qsizetype x = 0; x < rowBytes; ++x) {
            if (row[x] != 0) {
                return true;
            }
        }
    }
    return false;
}

// The font Qt draws the character with in the glyphs' font: another one when it falls
// back for a character the font lacks, or passes over the file for an installed font of
// the same family or any other.
QRawFont DrawingFont(const QFont& font, QChar character)
{
    QTextLayout layout(QString(character), font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    return runs.isEmpty() ? QRawFont() : runs.first().rawFont();
}

// Whether Qt draws with the font file itself: its family, and its own character map.
bool IsTheFile(const QRawFont& drawing, const QRawFont& file, const QString& family)
{
    return drawing.isValid() && (drawing.familyName() == family || drawing.familyName() == file.familyName()) &&
           drawing.fontTable("cmap") == file.fontTable("cmap");
}

// Refuses a font that cannot draw every character the pack holds, naming them: a
// character the file has no glyph for, a glyph without ink (every character but the
// space has some in any usable font), and characters Qt would take from another font.
// Qt reads the file itself (its character map, its outlines as a raw font) and says which
// font a line of text is drawn with, so a damaged table shows here, not as blank glyphs.
void RequireDrawableFont(const GlyphStyle& style)
{
    const QRawFont raw(style.fontData, style.font.pixelSize(), QFont::PreferNoHinting);
    if (!raw.isValid()) {
        throw std::runtime_error("Cannot read " + style.fontFile + " as a TrueType or OpenType font");
    }
    std::string missing;
    std::string blank;
    std::string elsewhere;
    QString otherFamily;
    for (unsigned char c : DrawableGlyphBytes()) {
        if (c == ' ') {
            continue;
        }
        const QChar character(c);
        const QList<quint32> glyphs =
            raw.supportsCharacter(character) ? raw.glyphIndexesForString(QString(character)) : QList<quint32>();
        if (glyphs.size() != 1 || glyphs.first() == 0) {
            missing += static_cast<char>(c);
        } else if (!HasInk(raw, glyphs.first())) {
            blank += static_cast<char>(c);
        } else if (const QRawFont drawing = DrawingFont(style.font, character);
                   !IsTheFile(drawing, raw, style.family)) {
            elsewhere += static_cast<char>(c);
            otherFamily = drawing.familyName();
        }
    }
    std::vector<std::string> reasons;
    if (!missing.empty()) {
        reasons.push_back("it has no glyph for \"" + missing + "\"");
    }
    if (!blank.empty()) {
        reasons.push_back("its glyphs for \"" + blank + "\" are empty");
    }
    if (!elsewhere.empty()) {
        reasons.push_back("Qt draws \"" + elsewhere + "\" from another font, of the family \"" +
                          otherFamily.toStdString() + "\", instead of the file");
    }
    if (!reasons.empty()) {
        std::string message = "The font " + style.fontFile + " cannot draw every glyph: ";
        for (std::size_t i = 0; i < reasons.size(); ++i) {
            message += (i == 0 ? "" : "; ") + reasons[i];
        }
        throw std::runtime_error(message);
    }
}

int Run(const Options& options)
{
    // Fails at once when the output cannot be created; writes nothing before Commit.
    io::FileReplacement output(options.output);
    const GlyphStyle style = MakeStyle(options);
    RequireDrawableFont(style);

    const std::vector<std::string> palette = PaletteProblems(style);
    for (const std::string& problem : palette) {
        std::cerr << (options.Shipped() ? "" : "note: ") << problem << '\n';
    }
    if (options.Shipped() && !palette.empty()) {
        return 1;
    }
    std::vector<std::pair<std::string, std::string>> entries;
    for (unsigned char c : DrawableGlyphBytes()) {
        entries.emplace_back(FullGlyphEntryName(c), EncodeGlyph(DrawGlyph(style, c)));
    }

    // Read it back the way the program does before anything may use it, from a file
    // without a name, so that nothing is left behind however the tool ends.
    const std::string pack = MakeArchive(entries);
    const io::UnnamedFile drawn(pack);
    const std::vector<std::string> problems = render::CheckGlyphArchive(drawn.Path());
    for (const std::string& problem : problems) {
        std::cerr << options.output << ": " << problem << '\n';
    }
    if (!problems.empty()) {
        std::cerr << options.output << ": not written\n";
        return 1;
    }
    output.Commit(pack);
    return 0;
}

} // namespace
} // namespace glyphtint::tools

int main(int argc, char** argv)
{
    glyphtint::tools::KeepStandardDescriptorsOpen();
    using glyphtint::tools::kProgram;
    if (const std::optional<int> answered =
            glyphtint::tools::AnswerHelpOrVersion(argc, argv, kProgram, glyphtint::tools::kUsage)) {
        return *answered;
    }
    glyphtint::tools::Options options;
    try {
        glyphtint::tools::ParseArguments(argc, argv, options);
    } catch (const glyphtint::tools::EUsage& wrong) {
        return glyphtint::tools::ReportWrongUsage(kProgram, wrong.what());
    }
    glyphtint::raster::PrepareOffscreenApplication();
    QGuiApplication app(argc, argv);
    try {
        return glyphtint::tools::Run(options);
    } catch (const std::exception& e) {
        std::cerr << "glyphtint-make-glyphs: " << e.what() << '\n';
        return 1;
    }
}
