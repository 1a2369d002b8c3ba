// RenderBatch: many names through one open archive, reported as JSON lines.
#include "tools/RenderBatch.h"

#include "render/CodedTextInfo.h"
#include "render/ColourNames.h"
#include "render/ErrorCauses.h"
#include "render/GlyphPack.h"
#include "render/ShownMessage.h"
#include "render/Utf8.h"
#include "tools/BatchFolder.h"
#include "tools/BoundedLines.h"
#include "pictures/RenderJob.h"

#include <cstdio>
#include <exception>
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
std::string EncodeLinePicture(BatchPack& pack, const std::string& text, const BatchOptions& options)
{
    const RenderJob job{text, {options.framed ? PictureKind::Framed : PictureKind::Strip}, options.style};
    return std::move(RunRenderJob(job, [&]() -> render::GlyphPack& { return pack.Open(); }).front());
}

std::string PictureLine(std::size_t line, const std::string& path, const std::string& members)
{
    return "{\"line\": " + std::to_string(line) + ", \"file\": " + JsonString(path) + ", " + members + "}\n";
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
            folder.Write(name, EncodeLinePicture(pack, text, options));
            // Told and measured as the line's picture shows the name.
            const render::PictureStyle shown = options.framed ? FramedPictureStyle(options.style) : options.style;
            reported = PictureLine(line, folder.PathOf(name), TextInfoJsonMembers(info, text, shown));
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

std::string TextInfoJsonMembers(const render::CodedTextInfo& info, const std::string& text,
                                const render::PictureStyle& shown)
{
    return "\"bytes\": " + std::to_string(info.byteLength) + ", \"visible\": " + std::to_string(info.visibleLength) +
           ", \"not_drawn\": " + std::to_string(info.undrawnLength) + ", \"text\": " + JsonString(info.plainText) +
           ", \"described\": " + JsonString(render::DescribePicture(text, shown)) +
           (shown.minContrast ? ", \"adjusted\": " + AdjustedCodesJson(text, shown) : "");
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

} // namespace glyphtint::tools
