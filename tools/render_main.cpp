// glyphtint-render: renders a coded text with the program's renderer into a PNG strip, the
// framed picture the window saves or copies, or a description of the text.
#include "archive/ZipArchive.h"
#include "raster/Graphics.h"
#include "render/CodedTextInfo.h"
#include "render/FramedImage.h"
#include "render/GlyphArchivePath.h"
#include "render/GlyphStrip.h"
#include "render/ShownMessage.h"
#include "tools/OffscreenApplication.h"
#include "tools/PictureFiles.h"
#include "tools/RenderBatch.h"
#include "tools/TextInput.h"

#include <QGuiApplication>

#include <cstdio>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace glyphtint::tools {
namespace {

constexpr const char* kUsage = "usage: glyphtint-render [--archive FILE] [--strip OUT.png] [--framed OUT.jpg]\n"
                               "                        [--clipboard-png OUT.png] [--info] (TEXT | --text-file FILE)\n"
                               "       glyphtint-render [--archive FILE] [--framed] --batch DIR\n"
                               "Renders the coded TEXT (for example '^1m00') with the glyphs of FILE (default:\n"
                               "glyphtint.gfx beside this program). At least one output:\n"
                               "  --strip OUT.png          the glyph strip alone, losslessly\n"
                               "  --framed OUT.jpg         the framed picture with TEXT as its caption, exactly as\n"
                               "                           \"Save image...\" writes it\n"
                               "  --clipboard-png OUT.png  the same framed picture losslessly, as \"Copy image to\n"
                               "                           clipboard\" places it\n"
                               "  --info                   TEXT's length in bytes, its visible length (characters\n"
                               "                           that draw a glyph), how many characters draw none, and\n"
                               "                           the characters drawn\n"
                               "A TEXT that starts with '-' follows \"--\". --text-file reads TEXT from FILE\n"
                               "('-': standard input) without its final line end.\n"
                               "--batch reads one TEXT a line from standard input and writes DIR/000001.png, ...\n"
                               "(with --framed DIR/000001.jpg, ...), printing one JSON line for each.\n";

struct Options {
    std::string archive;
    std::string strip;
    std::string framed;
    std::string clipboardPng;
    bool info = false;
    std::string text;
    std::string textFile;

    bool WantsPicture() const { return !strip.empty() || !framed.empty() || !clipboardPng.empty(); }
};

bool ParseArguments(int argc, char** argv, Options& options)
{
    const std::pair<std::string_view, std::string Options::*> valued[] = {
        {"--archive", &Options::archive},    {"--strip", &Options::strip},
        {"--framed", &Options::framed},      {"--clipboard-png", &Options::clipboardPng},
        {"--text-file", &Options::textFile},
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
    return haveText != !options.textFile.empty() && (options.info || options.WantsPicture());
}

void PrintInfo(const std::string& text)
{
    const render::CodedTextInfo info = render::DescribeCodedText(text);
    std::printf("bytes: %zu\nvisible: %zu\nnot drawn: %zu\ntext: ", info.byteLength, info.visibleLength,
                info.undrawnLength);
    std::fwrite(info.plainText.data(), 1, info.plainText.size(), stdout);
    std::fputc('\n', stdout);
}

void WritePictures(const Options& options)
{
    TZipArchive archive;
    archive.FileName = options.archive;
    archive.Open(0);
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
    if (IsBatchCommand(argc, argv)) {
        return RunBatchCommand(argc, argv);
    }
    Options options;
    if (!ParseArguments(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    try {
        if (!options.textFile.empty()) {
            options.text = ReadTextFile(options.textFile);
        }
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
