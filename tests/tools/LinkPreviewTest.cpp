// What the service writes about a name: download names safe on every file system, and
// the public address checked once at start.
#include "serve/LinkPreview.h"
#include "tools/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using glyphtint::tools::DownloadDisposition;
using glyphtint::tools::EUsage;
using glyphtint::tools::ReadPublicUrl;

TEST(LinkPreview, DownloadsAreNamedAfterTheNameSafely)
{
    const std::pair<std::string, std::string> cases[] = {
        {"m00", "inline; filename=\"m00.png\""},
        {"m00 says hi", "inline; filename=\"m00_says_hi.png\""},
        // Nothing that leaves the folder, hides the file or ends the quoted value.
        {"../etc/passwd", "inline; filename=\"_._etc_passwd.png\""},
        {"a\"b\\c;d", "inline; filename=\"a_b_c_d.png\""},
        {"(x)", "inline; filename=\"(x).png\""},
        {"", "inline; filename=\"glyphtint.png\""},
        // A valid UTF-8 character is kept in the UTF-8 form; a stray byte is replaced in both.
        {"(caf\xc3\xa9)", "inline; filename=\"(caf_).png\"; filename*=UTF-8''%28caf%C3%A9%29.png"},
        {"caf\xe9", "inline; filename=\"caf_.png\""},
        {"\xed\xa0\x80x", "inline; filename=\"___x.png\""},
    };
    for (const auto& [name, disposition] : cases) {
        EXPECT_EQ(DownloadDisposition(name, "png"), disposition) << name;
    }
    EXPECT_EQ(DownloadDisposition(std::string(300, 'x'), "jpg"),
              "inline; filename=\"" + std::string(80, 'x') + ".jpg\"");
}

TEST(LinkPreview, PublicAddressIsAbsoluteAndEndsInASlash)
{
    EXPECT_EQ(ReadPublicUrl("https://names.example"), "https://names.example/");
    EXPECT_EQ(ReadPublicUrl("HTTP://names.example:8080/g"), "http://names.example:8080/g/");
    EXPECT_EQ(ReadPublicUrl("https://[::1]/a%20b/"), "https://[::1]/a%20b/");
    const std::pair<const char*, const char*> refused[] = {
        {"names.example", "neither http:// nor https://"},
        {"ftp://names.example/", "neither http:// nor https://"},
        {"https://", "names no host"},
        {"https://user:pw@names.example/", "credentials"},
        {"https://names.example/?a=1", "query or a fragment"},
        {"https://names.example/\"><x", "written as %XX"},
        {"https://names.example/%4", "two hexadecimal digits"},
    };
    for (const auto& [value, why] : refused) {
        try {
            ReadPublicUrl(value);
            ADD_FAILURE() << value << " was taken";
        } catch (const EUsage& wrong) {
            EXPECT_NE(std::string(wrong.what()).find(why), std::string::npos) << value << ": " << wrong.what();
            EXPECT_TRUE(std::string(wrong.what()).starts_with("--public-url takes")) << wrong.what();
        }
    }
}
