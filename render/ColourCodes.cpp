// The default code table's colours and the drawn bytes of a coded text, read from its tokens.
#include "render/ColourCodes.h"

#include "render/CodeTokens.h"

namespace glyphtint::render {

void UnpackRGB(std::uint32_t value, TColourTriple& colour)
{
    colour.Red = static_cast<std::int32_t>((value >> 16) & 255);
    colour.Green = static_cast<std::int32_t>((value >> 8) & 255);
    colour.Blue = static_cast<std::int32_t>(value & 255);
}

bool SelectColourCode(unsigned char code, TColourTriple& colour)
{
    const std::optional<TColourTriple> found = DefaultCodeRules().ColourOf(code);
    if (!found) {
        return false;
    }
    colour = *found;
    return true;
}

void ScanCodedText(std::string_view text, const std::function<void(unsigned char, TColourTriple)>& drawByte,
                   const CodeRules& rules)
{
    CodeTokenizer tokens(text, rules);
    CodeToken token;
    while (tokens.Next(token)) {
        if (token.kind == ByteKind::Drawn) {
            drawByte(token.byte, token.colour);
        }
    }
}

} // namespace glyphtint::render
