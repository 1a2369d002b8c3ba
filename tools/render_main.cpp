// glyphtint-render: renders a coded text with the program's renderer into a PNG strip, the
// framed picture the window saves or copies, or a description of the text.
#include "archive/FileReplacement.h"
#include "archive/ZipArchive.h"
#include "raster/Graphics.h"
#include "render/CodedTextInfo.h"
#include "render/FramedImage.h"
#include "render/GlyphArchivePath.h"
#include "render/GlyphStrip.h"
#include "render/ShownMessage.h"
#include "tools/OffscreenApplication.h"

#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>

#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace glyphtint::tools {
namespace {

constexpr const char* kUsage = "usage: glyphtint-render [--archive FILE] [--strip OUT.png] [--framed OUT.jpg]\n"
                               "                        [--clipboard-png OUT.png] [--info] TEXT\n"
                               "Renders the coded TEXT (for example '^1m00') with the glyphs of FILE (default:\n"
                               "glyphtint.gfx beside this program). At least one output:\n"
                               "  --strip OUT.png          the glyph strip alone, losslessly\n"
                               "  --framed OUT.jpg         the framed picture with TEXT as its caption, exactly as\n"
                               "                           \"Save image...\" writes it\n"
                               "  --clipboard-png OUT.png  the same framed picture losslessly, as \"Copy image to\n"
                               "                           clipboard\" places it\n"
                               "  --info                   TEXT's length in bytes, its visible length (characters\n"
                               "                           that draw a glyph) and TEXT without its colour codes\n"
                               "A TEXT that starts with '-' follows \"--\".\n";

// libpng refuses to write a side longer than this unless told otherwise.
constexpr int kPngMaxSide = 1000000;
// The longest side libjpeg can encode.
constexpr int kJpegMaxSide = 65500;

struct Options {
    std::string archive;
    std::string strip;
    std::string framed;
    std::string clipboardPng;
    bool info = false;
    std::string text;

    bool WantsPicture() const { return !strip.empty() || !framed.empty() || !clipboardPng.empty(); }
};

bool ParseArguments(int argc, char** argv, Options& options)
{
    const std::pair<std::string_view, std::string Options::*> valued[] = {
        {"--archive", &Options::archive},
        {"--strip", &Options::strip},
        {"--framed", &Options::framed},
        {"--clipboard-png", &Options::clipboardPng},
    };
    bool haveText = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        bool matched = false;
        for (const auto& [name, member] : valued) {
            if (argument == name && i + 1 < argc) {
                options.*member = argv[++i];
                matched = true;
            }
        }
        if (matched) {
            continue;
        }
        if (argument == "--info") {
            options.info = true;
        } else if (haveText) {
            return false;
        } else if (argument == "--" && i + 2 == argc) {
            options.text = argv[++i];
            haveText = true;
        } else if (argument.empty() || argument[0] != '-') {
            options.text = argv[i];
            haveText = true;
        } else {
            return false;
        }
    }
    if (options.archive.empty()) {
        options.archive = render::GlyphArchivePath();
    }
    return haveText && (options.info || options.WantsPicture());
}

void PrintInfo(const std::string& text)
{
    const render::CodedTextInfo info = render::DescribeCodedText(text);
    std::printf("bytes: %zu\nvisible: %zu\ntext: ", info.byteLength, info.visibleLength);
    std::fwrite(info.plainText.data(), 1, info.plainText.size(), stdout);
    std::fputc('\n', stdout);
}

// Checked here so that the user reads why, not the encoder's warnings or errors.
void RequireSidesAtMost(std::int64_t width, std::int64_t height, const char* what, const char* format, int maxSide)
{
    if (width > maxSide || height > maxSide) {
        throw std::runtime_error(std::string("The ") + what + " is " + std::to_string(width) + " x " +
                                 std::to_string(height) + " pixels; a " + format + " file can be at most " +
                                 std::to_string(maxSide) + " pixels wide and high, so the text is too long");
    }
}

void RequireSidesAtMost(const TBitmap& picture, const char* what, const char* format, int maxSide)
{
    RequireSidesAtMost(picture.Width(), picture.Height(), what, format, maxSide);
}

void WritePng(const TBitmap& picture, const std::string& path, const char* what)
{
    RequireSidesAtMost(picture, what, "PNG", kPngMaxSide);
    const QImage image = picture.MakeClipboardBitmap();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        throw std::runtime_error(std::string("Cannot encode the ") + what + " as PNG");
    }
    archive::FileReplacement file(path);
    file.Commit(std::string_view(png.constData(), static_cast<std::size_t>(png.size())));
}

void WriteFramedJpeg(TBitmap& framed, const std::string& path)
{
    RequireSidesAtMost(framed, "framed picture", "JPEG", kJpegMaxSide);
    render::SaveFramedImage(framed, path);
}

void WritePictures(const Options& options)
{
    TZipArchive archive;
    archive.FileName = options.archive;
    archive.Open(0);
    // Pictures too large for their files are refused before anything is drawn.
    const render::StripSize size = render::MeasureCodedText(archive, options.text);
    if (!options.strip.empty()) {
        RequireSidesAtMost(size.width, size.height, "strip", "PNG", kPngMaxSide);
    }
    if (!options.framed.empty() || !options.clipboardPng.empty()) {
        const render::FrameSize frame = render::MeasureFramedImage(size.width, size.height, options.text);
        const bool jpeg = !options.framed.empty();
        RequireSidesAtMost(frame.width, frame.height, "framed picture", jpeg ? "JPEG" : "PNG",
                           jpeg ? kJpegMaxSide : kPngMaxSide);
    }
    TPicture picture;
    RenderCodedText(archive, options.text, picture);
    TBitmap& strip = picture.AsBitmap();

    if (!options.strip.empty()) {
        if (strip.Empty()) {
            throw std::runtime_error("The text draws no glyph: there is no picture to write");
        }
        WritePng(strip, options.strip, "strip");
    }
    if (!options.framed.empty() || !options.clipboardPng.empty()) {
        TPicture framed;
        render::ComposeFramedImage(strip, options.text, framed);
        if (!options.framed.empty()) {
            WriteFramedJpeg(framed.AsBitmap(), options.framed);
        }
        if (!options.clipboardPng.empty()) {
            WritePng(framed.AsBitmap(), options.clipboardPng, "framed picture");
        }
    }
}

int Run(int argc, char** argv)
{
    Options options;
    if (!ParseArguments(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    try {
        if (options.info) {
            PrintInfo(options.text);
        }
        if (options.WantsPicture()) {
            // The framed picture's caption needs an application's fonts.
            PrepareOffscreenApplication();
            QGuiApplication application(argc, argv);
            WritePictures(options);
        }
    } catch (const std::exception& error) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s\n", render::ShownMessage(error.what()).c_str());
        return 1;
    }
    return 0;
}

} // namespace
} // namespace glyphtint::tools

int main(int argc, char** argv)
{
    return glyphtint::tools::Run(argc, argv);
}
