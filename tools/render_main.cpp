// glyphtint-render: renders a coded text with the program's renderer into a PNG strip.
#include "archive/ZipArchive.h"
#include "archive/FileReplacement.h"
#include "raster/Graphics.h"
#include "render/GlyphArchivePath.h"
#include "render/GlyphStrip.h"
#include "render/ShownMessage.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

namespace {

constexpr const char* kUsage = "usage: glyphtint-render [--archive FILE] --strip OUT.png TEXT\n"
                               "Renders the coded TEXT (for example '^1m00') with the glyphs of FILE (default:\n"
                               "glyphtint.gfx beside this program) and writes the strip as a PNG image.\n";

struct Options {
    std::string archive;
    std::string strip;
    std::string text;
};

// A text that starts with '-' follows "--".
bool ParseArguments(int argc, char** argv, Options& options)
{
    bool haveText = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if ((argument == "--archive" || argument == "--strip") && i + 1 < argc) {
            (argument == "--archive" ? options.archive : options.strip) = argv[++i];
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
    if (options.archive.empty())
        options.archive = glyphtint::render::GlyphArchivePath();
    return haveText && !options.strip.empty();
}

void WriteStripPng(const TBitmap& strip, const std::string& path)
{
    if (strip.Empty())
        throw std::runtime_error("The text draws no glyph: there is no picture to write");
    const QImage image = strip.MakeClipboardBitmap();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        throw std::runtime_error("Cannot encode the strip as PNG");
    glyphtint::archive::FileReplacement file(path);
    file.Commit(std::string_view(png.constData(), static_cast<std::size_t>(png.size())));
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseArguments(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    try {
        TZipArchive archive;
        archive.FileName = options.archive;
        archive.Open(0);
        TPicture picture;
        RenderCodedText(archive, options.text, picture);
        WriteStripPng(picture.AsBitmap(), options.strip);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", glyphtint::render::ShownMessage(error.what()).c_str());
        return 1;
    }
    return 0;
}
