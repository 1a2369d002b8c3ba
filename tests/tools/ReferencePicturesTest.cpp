// The pictures glyphtint-render writes, alone and in a batch, against the reference
// pictures checked by eye, compared by their pixels (the encoders' bytes may differ).
#include "tests/support/ReferencePictures.h"
#include "tests/support/RunProgram.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

using namespace glyphtint::test;

namespace {

std::string Numbered(const std::filesystem::path& folder, std::size_t line, const char* extension)
{
    char name[32];
    std::snprintf(name, sizeof name, "%06zu.%s", line, extension);
    return (folder / name).string();
}

} // namespace

TEST(ReferencePictures, StripFramedAndClipboardFilesMatchTheirReferences)
{
    const ScratchFolder folder;
    const std::string strip = (folder / "strip.png").string();
    const std::string framed = (folder / "framed.jpg").string();
    const std::string clipboard = (folder / "clipboard.png").string();
    for (const ReferenceText& reference : ReferenceTexts()) {
        SCOPED_TRACE(reference.name);
        const ProgramRun run = RunProgram("glyphtint-render", {"--strip", strip, "--framed", framed, "--clipboard-png",
                                                               clipboard, "--", reference.text});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(PictureDifference(ReadPicture(strip), ReferencePicture(reference.name + "-strip.png")), "");
        EXPECT_EQ(PictureDifference(ReadPicture(clipboard), ReferencePicture(reference.name + "-framed.png")), "");
        EXPECT_EQ(
            PictureDifference(ReadPicture(framed), ReferencePicture(reference.name + "-framed.jpg"), kJpegTolerance),
            "");
    }
}

TEST(ReferencePictures, BatchPicturesMatchTheirReferences)
{
    const ScratchFolder folder;
    const std::vector<ReferenceText> references = ReferenceTexts();
    std::string input;
    for (const ReferenceText& reference : references) {
        input += reference.text + "\n";
    }
    ProgramRun run = RunProgram("glyphtint-render", {"--batch", (folder / "strips").string()}, input);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    run = RunProgram("glyphtint-render", {"--framed", "--batch", (folder / "framed").string()}, input);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (std::size_t i = 0; i < references.size(); ++i) {
        SCOPED_TRACE(references[i].name);
        EXPECT_EQ(PictureDifference(ReadPicture(Numbered(folder / "strips", i + 1, "png")),
                                    ReferencePicture(references[i].name + "-strip.png")),
                  "");
        EXPECT_EQ(PictureDifference(ReadPicture(Numbered(folder / "framed", i + 1, "jpg")),
                                    ReferencePicture(references[i].name + "-framed.jpg"), kJpegTolerance),
                  "");
    }
}

TEST(ReferencePictures, StripFilesAreNoLargerThanZlibWroteThem)
{
    // The sizes zlib at level 1 gave the reference strips, unfiltered.
    struct Case {
        const char* name;
        const char* scale;
        const char* background;
        std::uintmax_t zlibBytes;
    };
    const std::map<std::string, std::string> texts = [] {
        std::map<std::string, std::string> byName;
        for (const ReferenceText& reference : ReferenceTexts()) {
            byName[reference.name] = reference.text;
        }
        return byName;
    }();
    const ScratchFolder folder;
    const std::string strip = (folder / "strip.png").string();
    for (const Case c : {Case{"colours", "1", "glyph", 4504}, Case{"colours", "1", "transparent", 3388},
                         Case{"colours", "8", "glyph", 24906}, Case{"colours", "8", "transparent", 23098},
                         Case{"carets", "1", "glyph", 2103}, Case{"carets", "1", "transparent", 1628},
                         Case{"carets", "8", "glyph", 12372}, Case{"carets", "8", "transparent", 12189}}) {
        SCOPED_TRACE(std::string(c.name) + " at scale " + c.scale + " on " + c.background);
        const ProgramRun run = RunProgram("glyphtint-render", {"--strip", strip, "--scale", c.scale, "--background",
                                                               c.background, "--", texts.at(c.name)});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_LE(std::filesystem::file_size(strip), c.zlibBytes);
    }
}
