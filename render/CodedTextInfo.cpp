// DescribeCodedText: the scan of a render without the archive.
#include "render/CodedTextInfo.h"

#include "render/ColourCodes.h"
#include "render/GlyphNames.h"

namespace glyphtint::render {

CodedTextInfo DescribeCodedText(std::string_view text)
{
    CodedTextInfo info;
    info.byteLength = text.size();
    ScanCodedText(text, [&info](unsigned char character, TColourTriple) {
        info.plainText += static_cast<char>(character);
        if (!GlyphEntryName(character).empty()) {
            ++info.visibleLength;
        }
    });
    return info;
}

} // namespace glyphtint::render
