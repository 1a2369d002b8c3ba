// WebFiles: glyphtint-serve's web page, its style sheet and script, built into the
// program from web/ so that the service needs no file at run time.
#pragma once

#include <span>
#include <string_view>

namespace glyphtint::tools {

struct WebFile {
    std::string_view name; // "index.html", "page.css", "page.js"
    std::string_view bytes;
};

std::span<const WebFile> WebFiles();

} // namespace glyphtint::tools
