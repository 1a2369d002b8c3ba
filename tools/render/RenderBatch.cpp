// RenderBatch: many names through one open archive, reported as JSON lines.
#include "tools/render/RenderBatch.h"

#include "pictures/RenderJob.h"
#include "pictures/TextJson.h"
#include "render/CodedTextInfo.h"
#include "render/ErrorCauses.h"
#include "render/GlyphPack.h"
#include "render/ShownMessage.h"
#include "tools/render/BatchFolder.h"
#include "tools/render/BoundedLines.h"

#include <cstdio>
#include <exception>
#include <stdexcept>
#include <utility>

namespace glyphtint::tools {
namespace {

using pictures::JsonString;

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
    const pictures::RenderJob job{text,
                                  {options.framed ? pictures::PictureKind::Framed : pictures::PictureKind::Strip},
                                  options.style,
                                  options.game};
    // A line without a glyph is no name: no picture, framed or not.
    pictures::PlanLimits limits;
    limits.framesWithoutGlyph = false;
    return std::move(pictures::RunRenderJob(
                         job, [&]() -> render::GlyphPack& { return pack.Open(); }, limits)
                         .front());
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
            const std::string name = PictureName(line, options.framed);
            folder.Write(name, EncodeLinePicture(pack, text, options));
            // Told and measured as the line's picture shows the name.
            const render::PictureStyle shown =
                options.framed ? pictures::FramedPictureStyle(options.style) : options.style;
            const render::CodedTextInfo info = render::DescribeCodedText(text, pictures::RulesOf(options.game));
            reported =
                PictureLine(line, folder.PathOf(name), pictures::TextInfoJsonMembers(info, text, shown, options.game));
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

} // namespace glyphtint::tools
