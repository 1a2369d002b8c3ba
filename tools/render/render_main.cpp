// glyphtint-render: renders a coded text with the program's renderer into a PNG strip, the
// framed picture the window saves or copies, or a description of the text.
#include "pictures/PictureFiles.h"
#include "pictures/RenderJob.h"
#include "render/ErrorCauses.h"
#include "render/GlyphPack.h"
#include "render/ShownMessage.h"
#include "render/TextLimits.h"
#include "tools/CommandLine.h"
#include "raster/OffscreenApplication.h"
#include "tools/render/RenderBatch.h"
#include "tools/RenderOptions.h"
#include "tools/StandardStreams.h"
#include "tools/render/TextInput.h"

#include <QGuiApplication>

#include <cstdio>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace glyphtint::tools {
namespace {

using pictures::PictureKind;
using pictures::RenderJob;
using pictures::RunRenderJob;

constexpr const char* kProgram = "glyphtint-render";
constexpr const char* kUsage = "usage: glyphtint-render [--archive FILE] [--strip OUT.png] [--framed OUT.jpg]\n"
                               "                        [--clipboard-png OUT.png] [--info] [STYLE]\n"
                               "                        (TEXT | --text-file FILE)\n"
                               "       glyphtint-render [--archive FILE] [--framed] [STYLE] --batch DIR\n"
                               "Renders the coded TEXT (for example '^1m00') with the glyphs of FILE (default:\n"
                               "glyphtint.gfx beside this program). At least one output:\n"
                               "  --strip OUT.png          the glyph strip alone, losslessly\n"
                               "  --framed OUT.jpg         the framed picture with TEXT as its caption, exactly as\n"
                               "                           \"Save image...\" writes it\n"
                               "  --clipboard-png OUT.png  the same framed picture losslessly, as \"Copy image to\n"
                               "                           clipboard\" places it\n"
                               "  --info                   TEXT's length in bytes, its visible length (characters\n"
                               "                           that draw a glyph), how many characters draw none, the\n"
                               "                           characters drawn, and the picture in words\n"
                               "  --help, --version        this text; the version\n"
                               "STYLE, for every picture (defaults: today's pictures):\n"
                               "  --scale N                every pixel as an N x N block, N from 1 to 8\n"
                               "  --background B           what the strip is drawn on: glyph (the glyphs' own\n"
                               "                           grey-green), transparent (an RGBA PNG) or a colour\n"
                               "                           #RRGGBB; framed pictures keep the glyph background\n"
                               "  --min-contrast R         tint colours below contrast ratio R (1 to 21) against\n"
                               "                           the background are lightened or darkened within their\n"
                               "                           hue; --info and the batch name the codes changed\n"
                               "  --page #RRGGBB           the page under a transparent strip, which\n"
                               "                           --min-contrast then needs\n"
                               "A TEXT that starts with '-' follows \"--\". --text-file reads TEXT from FILE\n"
                               "('-': standard input) without its final line end. A TEXT has at most 1048576\n"
                               "bytes.\n"
                               "  --game ID                read TEXT as the game ID reads names (its codes, its\n"
                               "                           carets, its colours); --info and the batch then say its\n"
                               "                           name limit. --game list (or --list-games) lists the ids\n"
                               "--batch reads one TEXT a line from standard input and writes DIR/000001.png, ...\n"
                               "(with --framed DIR/000001.jpg, ...), printing one JSON line for each.\n"
                               "Exit status: 0 done, 1 failed (the message says why), 2 wrong usage.\n";

static_assert(render::kMaxTextBytes == 1048576, "the usage names the longest TEXT");

// Each game's id and title, a line each.
void ListGames()
{
    std::string list;
    for (const render::GameProfile& game : render::GameProfiles()) {
        list += std::string(game.id) + "\t" + std::string(game.title) + "\n";
    }
    WriteStandardOutput(list);
    CloseStandardOutput();
}

// The pictures asked for, each written to its file once all of them are made.
void WritePictures(const RenderOptions& options)
{
    std::vector<std::pair<PictureKind, const std::string*>> files;
    for (const auto& [kind, path] :
         {std::pair{PictureKind::Strip, &options.strip}, std::pair{PictureKind::Framed, &options.framed},
          std::pair{PictureKind::ClipboardPng, &options.clipboardPng}}) {
        if (!path->empty()) {
            files.emplace_back(kind, path);
        }
    }
    RenderJob job{options.text.value_or(""), {}, options.style, options.game};
    for (const auto& file : files) {
        job.kinds.push_back(file.first);
    }
    render::GlyphPack pack;
    const std::vector<std::string> bytes = RunRenderJob(job, [&]() -> render::GlyphPack& {
        pack.Open(options.archive);
        return pack;
    });
    for (std::size_t i = 0; i < files.size(); ++i) {
        pictures::WritePictureFile(*files[i].second, bytes[i]);
    }
}

// One text: its description on standard output, its pictures into their files.
int RunSingle(RenderOptions& options, int argc, char** argv)
{
    if (!options.textFile.empty()) {
        options.text = ReadTextFile(options.textFile);
    } else {
        RequireTextWithinLimit(*options.text, "given");
    }
    if (options.info) {
        const std::string description =
            RunRenderJob({*options.text, {PictureKind::Info}, options.style, options.game}, nullptr).front();
        std::fwrite(description.data(), 1, description.size(), stdout);
        // Nothing else goes to standard output: a description that did not arrive
        // fails the run before any picture is written.
        CloseStandardOutput();
    }
    if (!options.framed.empty() || !options.clipboardPng.empty()) {
        // The framed picture's caption needs an application's fonts; a strip alone is
        // drawn and encoded without Qt.
        raster::PrepareOffscreenApplication();
        QGuiApplication application(argc, argv);
        WritePictures(options);
    } else if (options.WantsPicture()) {
        WritePictures(options);
    }
    return 0;
}

// The batch: standard input to numbered files, one report line each on standard output.
int RunBatch(const RenderOptions& options, int argc, char** argv)
{
    BatchOptions batch;
    batch.archive = options.archive;
    batch.folder = *options.batch;
    batch.framed = options.framedBatch;
    batch.style = options.style;
    batch.game = options.game;
    // The framed pictures' captions need an application's fonts; strips are drawn and
    // encoded without Qt.
    std::optional<QGuiApplication> application;
    if (batch.framed) {
        raster::PrepareOffscreenApplication();
        application.emplace(argc, argv);
    }
    std::ios::sync_with_stdio(false);
    const bool allDrawn = RenderBatch(batch, std::cin, WriteStandardOutput);
    CloseStandardOutput();
    return allDrawn ? 0 : 1;
}

int Run(int argc, char** argv)
{
    if (const std::optional<int> answered = AnswerHelpOrVersion(argc, argv, kProgram, kUsage)) {
        return *answered;
    }
    RenderOptions options;
    try {
        options = ParseRenderOptions(argc, argv);
    } catch (const EUsage& wrong) {
        return ReportWrongUsage(kProgram, wrong.what());
    }
    try {
        if (options.listGames) {
            ListGames();
            return 0;
        }
        return options.batch ? RunBatch(options, argc, argv) : RunSingle(options, argc, argv);
    } catch (const std::exception& error) {
        std::fflush(stdout);
        // With the cause glyphtint-gfx gives too: "locked by another program", ...
        std::fprintf(stderr, "%s\n", render::ShownMessage(render::DescribeError(error)).c_str());
        return 1;
    }
}

} // namespace
} // namespace glyphtint::tools

int main(int argc, char** argv)
{
    glyphtint::tools::KeepStandardDescriptorsOpen();
    return glyphtint::tools::Run(argc, argv);
}
