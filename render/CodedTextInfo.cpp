// DescribeCodedText: the scan of a render without the archive, and the naming of the
// characters it cannot draw.
#include "render/CodedTextInfo.h"

#include "render/ColourCodes.h"
#include "render/GlyphNames.h"
#include "render/Utf8.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace glyphtint::render {
namespace {

// Code points that show nothing of themselves in a tooltip: controls, spaces other than
// the plain one, joiners, direction marks, variation selectors and the byte order mark.
bool IsInvisible(std::uint32_t codePoint)
{
    return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0xA0) || codePoint == 0xAD ||
           (codePoint >= 0x2000 && codePoint <= 0x200F) || (codePoint >= 0x2028 && codePoint <= 0x202F) ||
           (codePoint >= 0x205F && codePoint <= 0x206F) || (codePoint >= 0xFE00 && codePoint <= 0xFE0F) ||
           codePoint == 0xFEFF;
}

void CountUndrawnRun(std::string_view run, CodedTextInfo& info)
{
    while (!run.empty()) {
        const std::size_t length = std::max<std::size_t>(Utf8SequenceLength(run), 1);
        const std::string name = UndrawnCharacterName(run.substr(0, length));
        run.remove_prefix(length);
        ++info.undrawnLength;
        if (std::find(info.undrawnNames.begin(), info.undrawnNames.end(), name) != info.undrawnNames.end()) {
            continue;
        }
        if (info.undrawnNames.size() < kMaxUndrawnNames) {
            info.undrawnNames.push_back(name);
        } else {
            info.moreUndrawnNames = true;
        }
    }
}

} // namespace

CodedTextInfo DescribeCodedText(std::string_view text)
{
    CodedTextInfo info;
    info.byteLength = text.size();
    // Undrawn bytes are gathered into runs, so that the bytes of one UTF-8 character are
    // named together.
    std::string undrawnRun;
    ScanCodedText(text, [&info, &undrawnRun](unsigned char character, TColourTriple) {
        if (GlyphEntryName(character).empty()) {
            undrawnRun += static_cast<char>(character);
            return;
        }
        CountUndrawnRun(undrawnRun, info);
        undrawnRun.clear();
        info.plainText += static_cast<char>(character);
        ++info.visibleLength;
    });
    CountUndrawnRun(undrawnRun, info);
    return info;
}

std::string UndrawnCharacterName(std::string_view character)
{
    char name[16];
    if (Utf8SequenceLength(character) != character.size()) {
        std::snprintf(name, sizeof name, "\\x%02X", static_cast<unsigned char>(character[0]));
        return name;
    }
    const std::uint32_t codePoint = DecodeUtf8(character);
    if (IsInvisible(codePoint)) {
        std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(codePoint));
        return name;
    }
    return std::string(character);
}

std::string UndrawnCharactersNote(const CodedTextInfo& info)
{
    if (info.undrawnLength == 0) {
        return {};
    }
    std::string note = std::to_string(info.undrawnLength);
    note += info.undrawnLength == 1 ? " character is not drawn:" : " characters are not drawn:";
    for (const std::string& name : info.undrawnNames) {
        note += ' ';
        note += name;
    }
    if (info.moreUndrawnNames) {
        note += " \u2026";
    }
    return note;
}

} // namespace glyphtint::render
