// RenderBatch: many names through one open archive, reported as JSON lines.
#include "tools/RenderBatch.h"

#include "render/CodedTextInfo.h"
#include "render/ErrorCauses.h"
#include "render/FramedImage.h"
#include "render/GlyphArchivePath.h"
#include "render/GlyphPack.h"
#include "render/ShownMessage.h"
#include "render/Utf8.h"
#include "tools/BatchFolder.h"
#include "tools/BoundedLines.h"
#include "tools/CommandLine.h"
#include "tools/OffscreenApplication.h"
#include "tools/PictureFiles.h"
#include "tools/StandardStreams.h"

#include <QGuiApplication>

#include <cstdio>
#include <exception>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <utility>

namespace glyphtint::tools {
namespace {

// The pack stays open for the whole batch, keeping the glyphs read for earlier lines so
// that each entry is decoded once per batch. A failure to open it is kept, with its type,
// and raised again for every line that needs a glyph.
class BatchPack {
public:
    explicit BatchPack(const std::string& path) : pack_(render::kGlyphBytesPerRender)
    {
        try {
            pack_.Open(path);
        } catch (const std::exception&) {
            openError_ = std::current_exception();
        }
    }

    render::GlyphPack& Open()
    {
        if (openError_) {
            std::rethrow_exception(openError_);
        }
        return pack_;
    }

private:
    render::GlyphPack pack_;
    std::exception_ptr openError_;
};

std::string PictureName(std::size_t line, bool framed)
{
    char name[32];
    std::snprintf(name, sizeof name, "%06zu.%s", line, framed ? "jpg" : "png");
    return name;
}

// The file --strip (or --framed) writes for the text.
std::string EncodeLinePicture(BatchPack& pack, const std::string& text, bool framed)
{
    RefuseOversizedPictures(pack.Open(), text, {!framed, framed, false});
    TPicture picture;
    RenderCodedText(pack.Open(), text, picture);
    TBitmap& strip = picture.AsBitmap();
    if (!framed) {
        return EncodePng(strip, "strip");
    }
    TPicture framedPicture;
    render::ComposeFramedImage(strip, text, framedPicture);
    return EncodeFramedJpeg(framedPicture.AsBitmap());
}

std::string PictureLine(std::size_t line, const std::string& path, const render::CodedTextInfo& info)
{
    return "{\"line\": " + std::to_string(line) + ", \"file\": " + JsonString(path) +
           ", \"bytes\": " + std::to_string(info.byteLength) + ", \"visible\": " + std::to_string(info.visibleLength) +
           ", \"not_drawn\": " + std::to_string(info.undrawnLength) + ", \"text\": " + JsonString(info.plainText) +
           "}\n";
}

std::string ErrorLine(std::size_t line, const std::string& message)
{
    return "{\"line\": " + std::to_string(line) + ", \"error\": " + JsonString(render::ShownMessage(message)) + "}\n";
}

const std::string kTooLong = "The line is longer than " + std::to_string(kMaxLineBytes) +
                             " bytes, the most a coded text may have: it is skipped";

} // namespace

bool RenderBatch(const BatchOptions& options, std::istream& lines, const ReportSink& report)
{
    BatchFolder folder(options.folder);
    BatchPack pack(options.archive);
    BoundedLines input(lines);
    bool allDrawn = true;
    std::string text;
    for (std::size_t line = 1;; ++line) {
        const BoundedLines::Kind kind = input.Next(text);
        if (kind == BoundedLines::Kind::End) {
            break;
        }
        std::string reported;
        try {
            if (kind == BoundedLines::Kind::TooLong) {
                throw std::runtime_error(kTooLong);
            }
            const render::CodedTextInfo info = render::DescribeCodedText(text);
            if (info.visibleLength == 0) {
                throw std::runtime_error("The text draws no glyph: there is no picture to write");
            }
            const std::string name = PictureName(line, options.framed);
            folder.Write(name, EncodeLinePicture(pack, text, options.framed));
            reported = PictureLine(line, folder.PathOf(name), info);
        } catch (const std::exception& error) {
            // With the cause a file could not be opened for ("locked by another program").
            reported = ErrorLine(line, render::DescribeError(error));
            allDrawn = false;
        }
        // A reader of the report sees each line as soon as its picture is complete; a
        // report that cannot be written ends the batch.
        report(reported);
    }
    folder.Sync();
    return allDrawn;
}

std::string JsonString(std::string_view bytes)
{
    std::string json = "\"";
    json.reserve(bytes.size() + 2);
    while (!bytes.empty()) {
        const auto byte = static_cast<unsigned char>(bytes.front());
        const std::size_t length = render::Utf8SequenceLength(bytes);
        if (byte >= 0x80 && length > 0) {
            json.append(bytes.substr(0, length));
            bytes.remove_prefix(length);
            continue;
        }
        bytes.remove_prefix(1);
        if (byte == '"' || byte == '\\') {
            json += '\\';
            json += static_cast<char>(byte);
        } else if (byte == '\n') {
            json += "\\n";
        } else if (byte == '\r') {
            json += "\\r";
        } else if (byte == '\t') {
            json += "\\t";
        } else if (byte < 0x20 || byte >= 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            json += escape;
        } else {
            json += static_cast<char>(byte);
        }
    }
    return json + "\"";
}

bool IsBatchCommand(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--") {
            return false;
        }
        if (argument == "--batch") {
            return true;
        }
    }
    return false;
}

namespace {

// Why an option of the single-text form cannot go with --batch; nullptr for any other.
const char* SingleTextConflict(std::string_view argument)
{
    static constexpr std::pair<std::string_view, const char*> kConflicts[] = {
        {"--strip", "--strip names one file; --batch writes a folder: use one of them"},
        {"--clipboard-png", "--clipboard-png names one file; --batch writes a folder: use one of them"},
        {"--text-file",
         "--text-file reads one TEXT; --batch reads one TEXT a line from standard input: use one of them"},
        {"--info", "--info describes one TEXT; --batch reports on each line anyway: use one of them"},
    };
    for (const auto& [option, why] : kConflicts) {
        if (argument == option) {
            return why;
        }
    }
    return nullptr;
}

} // namespace

int RunBatchCommand(int argc, char** argv)
{
    BatchOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--framed") {
            options.framed = true;
        } else if ((argument == "--batch" || argument == "--archive") && i + 1 < argc) {
            (argument == "--batch" ? options.folder : options.archive) = argv[++i];
        } else if (argument == "--batch" || argument == "--archive") {
            return ReportWrongUsage("glyphtint-render", "option '" + std::string(argument) + "' needs a value");
        } else if (const char* conflict = SingleTextConflict(argument)) {
            return ReportWrongUsage("glyphtint-render", conflict);
        } else {
            return ReportWrongUsage("glyphtint-render", argument.starts_with('-')
                                                            ? UnknownOption(argument).what()
                                                            : "--batch reads its texts from standard input, not '" +
                                                                  std::string(argument) + "'");
        }
    }
    if (options.folder.empty()) {
        return ReportWrongUsage("glyphtint-render", "--batch needs a folder name");
    }
    if (options.archive.empty()) {
        options.archive = render::GlyphArchivePath();
    }
    try {
        // The framed pictures' captions need an application's fonts.
        PrepareOffscreenApplication();
        QGuiApplication application(argc, argv);
        std::ios::sync_with_stdio(false);
        const bool allDrawn = RenderBatch(options, std::cin, WriteStandardOutput);
        CloseStandardOutput();
        return allDrawn ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", render::ShownMessage(error.what()).c_str());
        return 1;
    }
}

} // namespace glyphtint::tools
