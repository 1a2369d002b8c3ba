// DescribeCodedText: the scan of a render without the archive, and the naming of the
// characters it cannot draw.
#include "render/CodedTextInfo.h"

#include "render/ColourCodes.h"
#include "render/GlyphNames.h"
#include "render/Utf8.h"

#include <algorithm>
#include <array>
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

// A character without glyph as UTF-8 a person can read: itself when it shows ("é",
// "~"), "U+0009" for a control or invisible code point, "\xE9" for a byte that is no
// part of valid UTF-8. character is one valid UTF-8 sequence or one single byte.
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

// Counts and names the undrawn characters as the scan hands their bytes on. A run of
// undrawn bytes is split into characters as UTF-8 from its start; a character is at most
// 4 bytes long, so only those are held, and each character costs the same whatever the
// run's length. A character is named only the first time it occurs.
class UndrawnCounter {
public:
    explicit UndrawnCounter(CodedTextInfo& info) : info_(info) { }

    void Add(unsigned char byte)
    {
        pending_[pendingLength_++] = static_cast<char>(byte);
        if (pendingLength_ == sizeof pending_) {
            TakeCharacter();
        }
    }

    // The run ends: a drawn character or the text's end follows.
    void EndRun()
    {
        while (pendingLength_ > 0) {
            TakeCharacter();
        }
    }

private:
    // The character at the start of the pending bytes: the valid UTF-8 sequence there,
    // or its first byte. Four bytes decide it as the whole run would.
    void TakeCharacter()
    {
        const std::string_view pending(pending_, pendingLength_);
        const std::size_t length = std::max<std::size_t>(Utf8SequenceLength(pending), 1);
        Count(pending.substr(0, length));
        std::copy(pending_ + length, pending_ + pendingLength_, pending_);
        pendingLength_ -= length;
    }

    void Count(std::string_view character)
    {
        ++info_.undrawnLength;
        // Once a name could not be kept, no later one can: counting is all that is left.
        if (info_.moreUndrawnNames || Named(character)) {
            return;
        }
        if (info_.undrawnNames.size() == kMaxUndrawnNames) {
            info_.moreUndrawnNames = true;
            return;
        }
        if (character.size() == 1) {
            namedBytes_[static_cast<unsigned char>(character[0])] = true;
        } else {
            namedSequences_.emplace_back(character);
        }
        info_.undrawnNames.push_back(UndrawnCharacterName(character));
    }

    bool Named(std::string_view character) const
    {
        return character.size() == 1
                   ? namedBytes_[static_cast<unsigned char>(character[0])]
                   : std::find(namedSequences_.begin(), namedSequences_.end(), character) != namedSequences_.end();
    }

    CodedTextInfo& info_;
    char pending_[4] = {};
    std::size_t pendingLength_ = 0;
    // The characters named so far, by their bytes: each name stands for one character.
    std::array<bool, 256> namedBytes_{};
    std::vector<std::string> namedSequences_;
};

} // namespace

CodedTextInfo DescribeCodedText(std::string_view text, const CodeRules& rules)
{
    CodedTextInfo info;
    info.byteLength = text.size();
    UndrawnCounter undrawn(info);
    ScanCodedText(
        text,
        [&info, &undrawn](unsigned char character, TColourTriple) {
            if (!HasGlyph(character)) {
                undrawn.Add(character);
                return;
            }
            undrawn.EndRun();
            info.plainText += static_cast<char>(character);
            ++info.visibleLength;
        },
        rules);
    undrawn.EndRun();
    return info;
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
