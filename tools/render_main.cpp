// glyphtint-render: renders a coded text with the program's renderer into a PNG strip, the
// framed picture the window saves or copies, or a description of the text.
#include "raster/Graphics.h"
#include "render/CodedTextInfo.h"
#include "render/ErrorCauses.h"
#include "render/FramedImage.h"
#include "render/GlyphArchivePath.h"
#include "render/GlyphPack.h"
#include "render/PictureLimits.h"
#include "render/ShownMessage.h"
#include "render/TextLimits.h"
#include "tools/CommandLine.h"
#include "tools/OffscreenApplication.h"
#include "tools/PictureFiles.h"
#include "tools/RenderBatch.h"
#include "tools/StandardStreams.h"
#include "tools/TextInput.h"

#include <QGuiApplication>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <iterator>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace glyphtint::tools {
namespace {

using render::kJpegMaxSide;
using render::kPngMaxSide;
using render::RequireSidesAtMost;

constexpr const char* kProgram = "glyphtint-render";
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
                               "  --help, --version        this text; the version\n"
                               "A TEXT that starts with '-' follows \"--\". --text-file reads TEXT from FILE\n"
                               "('-': standard input) without its final line end. A TEXT has at most 1048576\n"
                               "bytes.\n"
                               "--batch reads one TEXT a line from standard input and writes DIR/000001.png, ...\n"
                               "(with --framed DIR/000001.jpg, ...), printing one JSON line for each.\n"
                               "Exit status: 0 done, 1 failed (the message says why), 2 wrong usage.\n";

static_assert(render::kMaxTextBytes == 1048576, "the usage names the longest TEXT");

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

void ParseArguments(int argc, char** argv, Options& options)
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
        } else if (argument == "--") {
            if (haveText || i + 2 != argc) {
                throw EUsage("\"--\" is followed by the TEXT and nothing else");
            }
            options.text = argv[++i];
            haveText = true;
        } else if (!argument.empty() && argument[0] == '-') {
            const bool needsValue = std::any_of(std::begin(valued), std::end(valued),
                                                [&](const auto& option) { return option.first == argument; });
            throw needsValue ? EUsage("option '" + std::string(argument) + "' needs a value") : UnknownOption(argument);
        } else if (haveText) {
            throw EUsage("more than one TEXT: '" + std::string(argument) + "' follows the TEXT");
        } else {
            options.text = argv[i];
            haveText = true;
        }
    }
    if (options.archive.empty()) {
        options.archive = render::GlyphArchivePath();
    }
    if (haveText == !options.textFile.empty()) {
        throw EUsage(haveText ? "both a TEXT and --text-file given" : "no TEXT given");
    }
    if (!options.info && !options.WantsPicture()) {
        throw EUsage("no output chosen: --strip, --framed, --clipboard-png or --info");
    }
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
    render::GlyphPack pack;
    pack.Open(options.archive);
    RefuseOversizedPictures(pack, options.text,
                            {!options.strip.empty(), !options.framed.empty(), !options.clipboardPng.empty()});
    TPicture picture;
    RenderCodedText(pack, options.text, picture);
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
    if (const std::optional<int> answered = AnswerHelpOrVersion(argc, argv, kProgram, kUsage)) {
        return *answered;
    }
    if (IsBatchCommand(argc, argv)) {
        return RunBatchCommand(argc, argv);
    }
    Options options;
    try {
        ParseArguments(argc, argv, options);
    } catch (const EUsage& wrong) {
        return ReportWrongUsage(kProgram, wrong.what());
    }
    try {
        if (!options.textFile.empty()) {
            options.text = ReadTextFile(options.textFile);
        } else {
            RequireTextWithinLimit(options.text, "given");
        }
        if (options.info) {
            PrintInfo(options.text);
            // Nothing else goes to standard output: a description that did not arrive
            // fails the run before any picture is written.
            CloseStandardOutput();
        }
        if (options.WantsPicture()) {
            // The framed picture's caption needs an application's fonts.
            PrepareOffscreenApplication();
            QGuiApplication application(argc, argv);
            WritePictures(options);
        }
    } catch (const std::exception& error) {
        std::fflush(stdout);
        // With the cause glyphtint-gfx gives too: "locked by another program", ...
        std::fprintf(stderr, "%s\n", render::ShownMessage(render::DescribeError(error)).c_str());
        return 1;
    }
    return 0;
}

} // namespace
} // namespace glyphtint::tools

int main(int argc, char** argv)
{
    glyphtint::tools::KeepStandardDescriptorsOpen();
    return glyphtint::tools::Run(argc, argv);
}
