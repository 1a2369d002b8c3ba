// TextJson: the one JSON writer of the programs' answers about a text (glyphtint-render's
// --info and batch lines, glyphtint-serve's /info.json).
#pragma once

#include "render/CodedTextInfo.h"
#include "render/GameProfiles.h"
#include "render/PictureStyle.h"

#include <string>
#include <string_view>

namespace glyphtint::pictures {

// bytes as a JSON string, quotes included. '"', '\\' and control bytes are escaped, valid
// UTF-8 is kept as it is, and every other byte is read as Latin-1 and written \u00XX, so
// the line stays valid JSON whatever a path or a message holds.
std::string JsonString(std::string_view bytes);

// The codes of the text that the style's --min-contrast changes, as a JSON array
// (["0", "4"]), measured against what the strip is drawn on.
std::string AdjustedCodesJson(const std::string& text, const render::PictureStyle& style,
                              const render::GameProfile* game = nullptr);

// A colour as the JSON answers write it: "#rrggbb", without quotes.
std::string HexColour(render::TColourTriple colour);

// The drawn text split where its colour changes, as a JSON array of {"text", "colour"}
// objects in drawing order; the colour "#rrggbb" as the style draws it. Characters without
// a glyph are left out, so the runs' texts together are the text the picture shows.
std::string ColourRunsJson(std::string_view text, const render::PictureStyle& style, const render::CodeRules& rules);

// What a text amounts to as JSON object members, the same for a batch line and the
// service's /info.json: "bytes", "visible", "not_drawn", "text", "described", "runs" and, with
// --min-contrast, "adjusted", told and measured as a picture in the given style shows it.
// With a game chosen, the text is read by its rules (info too must be) and "game",
// "limit" (bytes, null where it sets none), "over_limit" and "length" ("38 bytes of 36 ·
// 12 shown") follow.
std::string TextInfoJsonMembers(const render::CodedTextInfo& info, const std::string& text,
                                const render::PictureStyle& shown, const render::GameProfile* game = nullptr);

// The service's /info.json: the members above and "not_drawn_note", one object and a line end.
std::string TextInfoJson(const std::string& text, const render::PictureStyle& shown,
                         const render::GameProfile* game = nullptr);

} // namespace glyphtint::pictures
