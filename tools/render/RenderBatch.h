// glyphtint-render --batch: one coded text a line from a stream, each drawn into its own
// numbered picture file with one open glyph archive, and one JSON line reported for each.
#pragma once

#include "render/GameProfiles.h"
#include "render/PictureStyle.h"

#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

namespace glyphtint::tools {

struct BatchOptions {
    std::string archive; // the glyph archive's path
    std::string folder;  // where NNNNNN.png (or .jpg) go; made when missing
    bool framed = false; // the framed JPEG instead of the PNG strip
    render::PictureStyle style;
    const render::GameProfile* game = nullptr; // --game; none: glyphtint's rules
};

// Receives each report line whole, its line end included; raises to stop the batch.
using ReportSink = std::function<void(std::string_view line)>;

// Reads lines (LF or CRLF ends, any bytes, a last line without an end included) and, for
// line N, writes folder/NNNNNN.png, the same file `--strip` writes for that text, or with
// framed the framed JPEG NNNNNN.jpg. Reports each line to report as one JSON object:
//   {"line": N, "file": "...", "bytes": B, "visible": V, "not_drawn": U, "text": "..."}
// with "adjusted": ["0", ...] added after "text" when the style has a minimum contrast,
// or {"line": N, "error": "..."} when the line cannot be drawn; then goes on. A line
// longer than kMaxLineBytes is an error line as soon as that many bytes have come, and
// its rest is skipped without being kept; one that runs on past kMaxSkippedLineBytes
// ends the batch, as input that is no list of texts (BoundedLines). The archive is opened once; when it
// cannot be, every line that needs a glyph reports why. The folder is held for the batch
// (BatchFolder), and each picture is complete under its name when its line is reported;
// the disk is synced once at the end. Returns true when every line made its picture;
// raises EStreamError when the folder cannot be had, the input cannot be read, report
// raises, or the final sync fails.
bool RenderBatch(const BatchOptions& options, std::istream& lines, const ReportSink& report);

} // namespace glyphtint::tools
