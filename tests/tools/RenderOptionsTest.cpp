// glyphtint-render's one option parser: options of both forms in any order, and clashes
// named in the words of the options involved.
#include "render/NumberText.h"
#include "tools/CommandLine.h"
#include "tools/RenderOptions.h"

#include <gtest/gtest.h>

#include <locale>
#include <stdexcept>
#include <string>
#include <vector>

using glyphtint::tools::EUsage;
using glyphtint::tools::ParseRenderOptions;
using glyphtint::tools::RenderOptions;

namespace {

RenderOptions Parse(std::vector<const char*> arguments)
{
    arguments.insert(arguments.begin(), "glyphtint-render");
    return ParseRenderOptions(static_cast<int>(arguments.size()), arguments.data());
}

std::string Refusal(const std::vector<const char*>& arguments)
{
    try {
        Parse(arguments);
    } catch (const EUsage& wrong) {
        return wrong.what();
    }
    return "accepted";
}

// The process's locale (C and C++) set to German, whose decimal point is a comma, while
// it lives: a program with Qt runs in the environment's locale.
class GermanLocale {
public:
    GermanLocale()
    {
        try {
            std::locale::global(std::locale("de_DE.UTF-8"));
            active_ = true;
        } catch (const std::runtime_error&) {
        }
    }
    ~GermanLocale() { std::locale::global(previous_); }
    GermanLocale(const GermanLocale&) = delete;
    GermanLocale& operator=(const GermanLocale&) = delete;

    bool Active() const { return active_; }

private:
    std::locale previous_;
    bool active_ = false;
};

} // namespace

TEST(RenderOptions, DecimalsAreReadAndWrittenWithAPointInAGermanLocale)
{
    const GermanLocale german;
    ASSERT_TRUE(german.Active()) << "needs the locale de_DE.UTF-8 (Debian package locales-all)";
    EXPECT_EQ(Parse({"--min-contrast", "4.5", "--info", "a"}).style.minContrast, 4.5);
    EXPECT_EQ(Refusal({"--min-contrast", "4,5", "--info", "a"}),
              "--min-contrast takes a contrast ratio from 1 to 21, not '4,5'");
    EXPECT_EQ(glyphtint::render::FormatDecimal(0.25, 1), "0.2");
    EXPECT_EQ(glyphtint::render::FormatDecimal(1234.5, 1), "1234.5");
    // As "%.17g" writes it in the C locale, which the service's tags were made of.
    EXPECT_EQ(glyphtint::render::FormatDecimal(4.1, 17, std::chars_format::general), "4.0999999999999996");
    EXPECT_EQ(glyphtint::render::FormatDecimal(21, 17, std::chars_format::general), "21");
}

TEST(RenderOptions, BatchIsAModeThatCombinesWithArchiveAndFramedInAnyOrder)
{
    for (const std::vector<const char*>& arguments : {std::vector<const char*>{"--framed", "--batch", "out"},
                                                      {"--batch", "out", "--framed"},
                                                      {"--batch", "out", "--framed", "--archive", "p.gfx"}}) {
        const RenderOptions options = Parse(arguments);
        ASSERT_TRUE(options.batch);
        EXPECT_EQ(*options.batch, "out");
        EXPECT_TRUE(options.framedBatch);
        EXPECT_TRUE(options.framed.empty());
    }
    const RenderOptions single = Parse({"--archive", "p.gfx", "--strip", "s.png", "--framed", "f.jpg",
                                        "--clipboard-png", "c.png", "--info", "--", "-ab"});
    EXPECT_FALSE(single.batch);
    EXPECT_EQ(single.archive, "p.gfx");
    EXPECT_EQ(single.framed, "f.jpg");
    EXPECT_EQ(single.text, "-ab");
}

TEST(RenderOptions, ClashesAndGapsAreNamedFirstInArgumentOrder)
{
    const std::pair<std::vector<const char*>, std::string> cases[] = {
        // As they always were.
        {{"--batch", "out", "--strip", "x.png"}, "--strip names one file; --batch writes a folder: use one of them"},
        {{"--strip", "x.png", "--batch", "out"}, "--strip names one file; --batch writes a folder: use one of them"},
        {{"--batch", "out", "--info", "--frobnicate"},
         "--info describes one TEXT; --batch reports on each line anyway: use one of them"},
        {{"--batch", "out", "text"}, "--batch reads its texts from standard input, not 'text'"},
        {{"--batch", ""}, "--batch needs a folder name"},
        {{"--info", "--strip"}, "option '--strip' needs a value"},
        {{"a", "b"}, "more than one TEXT: 'b' follows the TEXT"},
        {{"--info", "--", "a", "b"}, "\"--\" is followed by the TEXT and nothing else"},
        {{"--strip", "x.png"}, "no TEXT given"},
        {{"a"}, "no output chosen: --strip, --framed, --clipboard-png or --info"},
        // --framed before an option was taken for a file named after the option.
        {{"--framed", "--info", "a"}, "option '--framed' needs a value"},
        // A file for --framed in a batch, and a TEXT after "--", were misread.
        {{"--framed", "out.jpg", "--batch", "out"},
         "--framed OUT.jpg names one file; --batch writes a folder: give --framed without a file"},
        {{"--batch", "out", "--", "a"}, "--batch reads its texts from standard input, not 'a'"},
        // Styles: what is accepted, in both forms.
        {{"--scale", "0", "--info", "a"}, "--scale takes a whole number from 1 to 8, not '0'"},
        {{"--batch", "out", "--scale", "9"}, "--scale takes a whole number from 1 to 8, not '9'"},
        {{"--scale", "2x", "--info", "a"}, "--scale takes a whole number from 1 to 8, not '2x'"},
        {{"--background", "red", "--info", "a"},
         "--background takes glyph, transparent or a colour #RRGGBB, not 'red'"},
        {{"--background", "#12345", "--info", "a"},
         "--background takes glyph, transparent or a colour #RRGGBB, not '#12345'"},
        {{"--background", "#12345g", "--info", "a"},
         "--background takes glyph, transparent or a colour #RRGGBB, not '#12345g'"},
        {{"--min-contrast", "0", "--info", "a"}, "--min-contrast takes a contrast ratio from 1 to 21, not '0'"},
        {{"--min-contrast", "21.5", "--info", "a"}, "--min-contrast takes a contrast ratio from 1 to 21, not '21.5'"},
        {{"--min-contrast", "3x", "--info", "a"}, "--min-contrast takes a contrast ratio from 1 to 21, not '3x'"},
        {{"--info", "a", "--min-contrast"}, "option '--min-contrast' needs a value"},
        {{"--background", "transparent", "--min-contrast", "3", "--info", "a"},
         "--min-contrast on a transparent background needs --page #RRGGBB, the page it is measured against"},
        {{"--page", "#ffffff", "--info", "a"},
         "--page names the page under a transparent strip: give it with --background transparent"},
        {{"--background", "transparent", "--page", "white", "--info", "a"},
         "--page takes a colour #RRGGBB, not 'white'"},
    };
    for (const auto& [arguments, message] : cases) {
        EXPECT_EQ(Refusal(arguments), message) << arguments.front();
    }
}

TEST(RenderOptions, UrlParametersAreNamedAsSuch)
{
    using glyphtint::tools::StyleNaming;
    const std::pair<std::pair<const char*, const char*>, const char*> cases[] = {
        {{"scale", "9"}, "scale= takes a whole number from 1 to 8, not '9'"},
        {{"background", ""}, "background= takes glyph, transparent or a colour such as 1e1e1e or %231e1e1e, not ''"},
        {{"page", "#fff"}, "page= takes a colour such as ffffff or %23ffffff, not '#fff'"},
        {{"min-contrast", "0"}, "min-contrast= takes a contrast ratio from 1 to 21, not '0'"},
    };
    for (const auto& [option, message] : cases) {
        glyphtint::render::PictureStyle style;
        EXPECT_EQ(glyphtint::tools::ReadStyleValue(option.first, option.second, style, StyleNaming::UrlParameter),
                  message);
    }
    glyphtint::render::PictureStyle style;
    // A colour needs no '#', which an address would have to write as %23.
    EXPECT_FALSE(glyphtint::tools::ReadStyleValue("background", "1E1e1f", style, StyleNaming::UrlParameter));
    EXPECT_EQ(style.backgroundColour, (glyphtint::render::TColourTriple{0x1e, 0x1e, 0x1f}));
    EXPECT_EQ(Parse({"--background", "00ff80", "--info", "a"}).style.backgroundColour,
              (glyphtint::render::TColourTriple{0, 255, 128}));
}

TEST(RenderOptions, StylesAreReadForBothForms)
{
    const RenderOptions plain = Parse({"--info", "a"});
    EXPECT_EQ(plain.style.scale, 1);
    EXPECT_EQ(plain.style.background, glyphtint::render::StripBackground::Glyph);
    EXPECT_FALSE(plain.style.minContrast);

    const RenderOptions styled = Parse({"--batch", "out", "--scale", "8", "--background", "transparent",
                                        "--min-contrast", "4.5", "--page", "#1E1e1F"});
    EXPECT_EQ(styled.style.scale, 8);
    EXPECT_EQ(styled.style.background, glyphtint::render::StripBackground::Transparent);
    EXPECT_EQ(styled.style.minContrast, 4.5);
    EXPECT_EQ(styled.style.page, (glyphtint::render::TColourTriple{0x1e, 0x1e, 0x1f}));

    const RenderOptions coloured = Parse({"--background", "#00ff80", "--min-contrast", "21", "--strip", "s.png", "a"});
    EXPECT_EQ(coloured.style.background, glyphtint::render::StripBackground::Colour);
    EXPECT_EQ(coloured.style.backgroundColour, (glyphtint::render::TColourTriple{0, 255, 128}));
}
