// LinkPreview: what the service writes about a name into the web page and its pictures'
// answers, so that a shared address unfurls with the name in chats and a download is
// named after it.
#pragma once

#include <string>
#include <string_view>

namespace glyphtint::tools {

// text with & < > " ' written as character references: safe as a text node and as a
// quoted attribute value.
std::string EscapeHtml(std::string_view text);

// The address the service is reached at from outside, read from --public-url: an
// absolute http or https address without credentials, query or fragment, given back
// lower-case in its scheme and ending in '/'. Raises EUsage saying what is wrong.
std::string ReadPublicUrl(std::string_view value);

// A name as the file a picture of it is saved as: name (the text as the picture shows
// it) with every character unsafe in a file name replaced by '_', then extension;
// "glyphtint" when nothing but such characters is left. The Content-Disposition value,
// with a filename*=UTF-8''... form beside the ASCII one when name has other characters.
std::string DownloadDisposition(std::string_view name, std::string_view extension);

// What the page says about the text it was opened with.
struct PagePreview {
    std::string title;       // the name as plain text; "glyphtint" without one
    std::string description; // what its picture shows, in words
    std::string publicUrl;   // --public-url, or empty
    std::string pageUrl;     // absolute; empty without publicUrl
    std::string imageUrl;    // the card, absolute; empty without publicUrl or glyph
    std::string imageAlt;
};

// page with its <title> element replaced by the preview's title, its Open Graph and
// Twitter card tags, and the public address for the page's script as
// <meta name="glyphtint:public-url" content="...">. Every value is escaped.
std::string FillPage(std::string_view page, const PagePreview& preview);

} // namespace glyphtint::tools
