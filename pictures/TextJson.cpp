// The JSON of a text's description, and strings made safe for it.
#include "pictures/TextJson.h"

#include "pictures/RenderPlan.h"
#include "render/ColourNames.h"
#include "render/GlyphNames.h"
#include "render/NumberText.h"
#include "render/Utf8.h"

#include <array>
#include <cstdio>

namespace glyphtint::pictures {

std::string AdjustedCodesJson(const std::string& text, const render::PictureStyle& style,
                              const render::GameProfile* game)
{
    std::string json = "[";
    for (const std::string& code : render::AdjustedCodes(text, style, RulesOf(game))) {
        json += json.size() > 1 ? ", " : "";
        json += JsonString(code);
    }
    return json + "]";
}

std::string HexColour(render::TColourTriple colour)
{
    const std::array<unsigned char, 3> channels{static_cast<unsigned char>(colour.Red),
                                                static_cast<unsigned char>(colour.Green),
                                                static_cast<unsigned char>(colour.Blue)};
    return "#" + render::HexString(channels);
}

std::string ColourRunsJson(std::string_view text, const render::PictureStyle& style, const render::CodeRules& rules)
{
    std::string json = "[";
    std::string run;
    render::TColourTriple runTint{-1, -1, -1};
    render::TColourTriple drawn;
    const auto endRun = [&] {
        if (run.empty()) {
            return;
        }
        json += json.size() > 1 ? ", " : "";
        json += "{\"text\": " + JsonString(run) + ", \"colour\": \"" + HexColour(drawn) + "\"}";
        run.clear();
    };
    render::ScanCodedText(
        text,
        [&](unsigned char character, render::TColourTriple tint) {
            if (!render::HasGlyph(character)) {
                return;
            }
            if (tint != runTint) {
                runTint = tint;
                // Two codes may still draw one colour (or become one under the style).
                const render::TColourTriple styled = render::StyledTint(tint, style);
                if (styled != drawn || run.empty()) {
                    endRun();
                    drawn = styled;
                }
            }
            run += static_cast<char>(character);
        },
        rules);
    endRun();
    return json + "]";
}

std::string TextInfoJsonMembers(const render::CodedTextInfo& info, const std::string& text,
                                const render::PictureStyle& shown, const render::GameProfile* game)
{
    std::string members =
        "\"bytes\": " + std::to_string(info.byteLength) + ", \"visible\": " + std::to_string(info.visibleLength) +
        ", \"not_drawn\": " + std::to_string(info.undrawnLength) + ", \"text\": " + JsonString(info.plainText) +
        ", \"described\": " + JsonString(render::DescribePicture(text, shown, RulesOf(game))) +
        ", \"runs\": " + ColourRunsJson(text, shown, RulesOf(game)) +
        (shown.minContrast ? ", \"adjusted\": " + AdjustedCodesJson(text, shown, game) : "");
    if (game != nullptr) {
        const render::NameLength length = render::MeasureName(text, *game);
        members += ", \"game\": " + JsonString(game->id) +
                   ", \"limit\": " + (game->byteLimit ? std::to_string(*game->byteLimit) : std::string("null")) +
                   ", \"over_limit\": " + (length.Over() ? "true" : "false") +
                   ", \"length\": " + JsonString(render::NameLengthReadout(length, *game));
    }
    return members;
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

std::string TextInfoJson(const std::string& text, const render::PictureStyle& shown, const render::GameProfile* game)
{
    const render::CodedTextInfo info = render::DescribeCodedText(text, RulesOf(game));
    return "{" + TextInfoJsonMembers(info, text, shown, game) +
           ", \"not_drawn_note\": " + JsonString(render::UndrawnCharactersNote(info)) + "}\n";
}

} // namespace glyphtint::pictures
