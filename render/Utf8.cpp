// Utf8SequenceLength and DecodeUtf8: strict UTF-8 after RFC 3629.
#include "render/Utf8.h"

namespace glyphtint::render {

std::size_t Utf8SequenceLength(std::string_view bytes)
{
    if (bytes.empty()) {
        return 0;
    }
    const auto byte = [&bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    // The second byte's range narrows for the leads that could otherwise spell an
    // overlong form (E0, F0), a surrogate (ED) or a code point past U+10FFFF (F4).
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return 0;
    }
    if (bytes.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

std::uint32_t DecodeUtf8(std::string_view sequence)
{
    const auto lead = static_cast<unsigned char>(sequence[0]);
    if (sequence.size() == 1) {
        return lead;
    }
    // The lead keeps 7 - length payload bits: 5 of a two-byte lead, 3 of a four-byte one.
    std::uint32_t codePoint = lead & (0x7Fu >> sequence.size());
    for (std::size_t i = 1; i < sequence.size(); ++i) {
        codePoint = (codePoint << 6) | (static_cast<unsigned char>(sequence[i]) & 0x3Fu);
    }
    return codePoint;
}

} // namespace glyphtint::render
