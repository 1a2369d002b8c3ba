// RunRenderJob: measure, render, frame and encode, once for every kind a text is asked in.
#include "tools/RenderJob.h"

#include "render/CodedTextInfo.h"
#include "render/FramedImage.h"
#include "tools/PictureFiles.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace glyphtint::tools {
namespace {

std::string DescriptionOf(const std::string& text)
{
    const render::CodedTextInfo info = render::DescribeCodedText(text);
    return "bytes: " + std::to_string(info.byteLength) + "\nvisible: " + std::to_string(info.visibleLength) +
           "\nnot drawn: " + std::to_string(info.undrawnLength) + "\ntext: " + info.plainText + "\n";
}

} // namespace

std::vector<std::string> RunRenderJob(const RenderJob& job, const PackSource& pack)
{
    const auto asks = [&](PictureKind kind) { return std::ranges::find(job.kinds, kind) != job.kinds.end(); };
    const PictureKinds pictures{asks(PictureKind::Strip), asks(PictureKind::Framed), asks(PictureKind::ClipboardPng)};
    std::optional<TPicture> strip;
    std::optional<TPicture> framed;
    if (pictures.stripPng || pictures.framedJpeg || pictures.framedPng) {
        render::GlyphPack& glyphs = pack();
        RefuseOversizedPictures(glyphs, job.text, pictures);
        strip.emplace();
        RenderCodedText(glyphs, job.text, *strip);
        if (pictures.stripPng && strip->AsBitmap().Empty()) {
            throw std::runtime_error("The text draws no glyph: there is no picture to write");
        }
        if (pictures.framedJpeg || pictures.framedPng) {
            framed.emplace();
            render::ComposeFramedImage(strip->AsBitmap(), job.text, *framed);
        }
    }
    std::vector<std::string> files;
    files.reserve(job.kinds.size());
    for (const PictureKind kind : job.kinds) {
        switch (kind) {
        case PictureKind::Strip: files.push_back(EncodePng(strip->AsBitmap(), "strip")); break;
        case PictureKind::Framed: files.push_back(EncodeFramedJpeg(framed->AsBitmap())); break;
        case PictureKind::ClipboardPng: files.push_back(EncodePng(framed->AsBitmap(), "framed picture")); break;
        case PictureKind::Info: files.push_back(DescriptionOf(job.text)); break;
        }
    }
    return files;
}

} // namespace glyphtint::tools
