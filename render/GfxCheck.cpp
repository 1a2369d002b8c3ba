// glyphtint-gfx check: reads every glyph the way a render does and reports what is wrong.
#include "render/GfxCheck.h"

#include "archive/ZipArchive.h"
#include "raster/JPEGImage.h"
#include "render/GlyphBackground.h"
#include "render/GlyphLimits.h"
#include "render/GlyphNames.h"
#include "render/GfxErrors.h"

#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>

using glyphtint::raster::BlueOf;
using glyphtint::raster::GreenOf;
using glyphtint::raster::RedOf;

namespace glyphtint::render {

namespace {

struct DecodedGlyph {
    std::string name;
    int width = 0;
    int height = 0;
};

std::string Describe(TColor c)
{
    std::ostringstream out;
    out << '(' << RedOf(c) << ", " << GreenOf(c) << ", " << BlueOf(c) << ')';
    return out.str();
}

bool NearBackground(TColor c)
{
    return std::abs(RedOf(c) - RedOf(kGlyphBackgroundColour)) <= kCornerTolerance &&
           std::abs(GreenOf(c) - GreenOf(kGlyphBackgroundColour)) <= kCornerTolerance &&
           std::abs(BlueOf(c) - BlueOf(kGlyphBackgroundColour)) <= kCornerTolerance;
}

// What reading and decoding one entry's data found: its size when it decoded, and its
// problems without the entry's name.
struct Inspection {
    bool decoded = false;
    int width = 0;
    int height = 0;
    std::vector<std::string> causes;
};

using EntryIdentity = TZipArchive::EntryIdentity;

Inspection Inspect(TZipArchive& archive, const std::string& name, std::string& buffer)
{
    Inspection result;
    try {
        archive.ExtractEntryBytesUpTo(name, buffer, glyphtint::render::kMaxGlyphEntryBytes);
        TJPEGImage jpeg;
        jpeg.LoadJPEG(buffer);
        // From the header, before the glyph is decoded: the program refuses it too.
        if (std::string tooLarge = glyphtint::render::GlyphSizeProblem(jpeg.Width(), jpeg.Height());
            !tooLarge.empty()) {
            result.causes.push_back(std::move(tooLarge));
            return result;
        }
        const TBitmap& bitmap = jpeg.Bitmap();
        result.width = bitmap.Width();
        result.height = bitmap.Height();
        if (bitmap.Empty()) {
            result.causes.push_back("empty picture");
            return result;
        }
        result.decoded = true;
        // The decoder stops at the end-of-image marker; whatever follows it is read
        // from the archive on every render for nothing.
        if (!buffer.ends_with("\xFF\xD9")) {
            result.causes.push_back("does not end with the picture's end-of-image marker");
        }
        const int right = bitmap.Width() - 1;
        const int bottom = bitmap.Height() - 1;
        for (auto [x, y] : {std::pair{0, 0}, {right, 0}, {0, bottom}, {right, bottom}}) {
            const TColor c = bitmap.PixelAt(x, y);
            if (!NearBackground(c)) {
                result.causes.push_back("corner (" + std::to_string(x) + ", " + std::to_string(y) + ") is " +
                                        Describe(c) + ", not the glyph background " + Describe(kGlyphBackgroundColour));
            }
        }
    } catch (const std::exception& e) {
        result.causes.push_back(DescribeEntryCause(archive, name, e));
    }
    return result;
}

// Extracts and decodes one glyph, or takes what an earlier name with the same data
// found; adds its problems and returns whether it decoded.
bool CheckGlyph(TZipArchive& archive, const std::string& name, std::string& buffer,
                std::map<EntryIdentity, Inspection>& inspected, DecodedGlyph& glyph, std::vector<std::string>& problems)
{
    const std::int32_t index = archive.FindEntry(name);
    if (index < 0) {
        problems.push_back(name + ": missing");
        return false;
    }
    const TZipArchiveItem entry = archive.DescribeEntry(index);
    if (!entry.StoredPath.empty()) {
        problems.push_back(name + ": not at the top level");
        return false;
    }
    // The reader has stored and deflated data only; an encrypted glyph makes the
    // program ask for a password on the keystroke that first draws it.
    if (const std::string unsupported = UnsupportedMethodCause(archive, index); !unsupported.empty()) {
        problems.push_back(name + ": " + unsupported);
        return false;
    }
    if (entry.Encrypted) {
        problems.push_back(name + ": encrypted, so the program would ask for a password to draw it");
        return false;
    }
    // Many names may lead to one entry's data: it is read and decoded once.
    const EntryIdentity data = *archive.FindEntryIdentity(name);
    auto found = inspected.find(data);
    if (found == inspected.end()) {
        found = inspected.emplace(data, Inspect(archive, name, buffer)).first;
    }
    const Inspection& inspection = found->second;
    for (const std::string& cause : inspection.causes) {
        problems.push_back(name + ": " + cause);
    }
    glyph.name = name;
    glyph.width = inspection.width;
    glyph.height = inspection.height;
    return inspection.decoded;
}

} // namespace

std::vector<std::string> CheckGlyphArchive(const std::string& path)
{
    std::vector<std::string> problems;
    TZipArchive archive;
    try {
        archive.FileName = path;
        archive.Open(0);
    } catch (const std::exception& e) {
        problems.push_back(DescribeError(e));
        return problems;
    }

    std::vector<DecodedGlyph> glyphs;
    std::map<int, int> heightCounts;
    std::string buffer;
    std::map<EntryIdentity, Inspection> inspected;
    for (unsigned char c : DrawableGlyphBytes()) {
        DecodedGlyph glyph;
        if (CheckGlyph(archive, FullGlyphEntryName(c), buffer, inspected, glyph, problems)) {
            glyphs.push_back(glyph);
            ++heightCounts[glyph.height];
        }
    }

    // The strip takes the height of its last glyph, so every glyph must share one.
    if (heightCounts.size() > 1) {
        int common = 0;
        int commonCount = 0;
        for (auto [height, count] : heightCounts) {
            if (count > commonCount) {
                common = height;
                commonCount = count;
            }
        }
        for (const DecodedGlyph& glyph : glyphs) {
            if (glyph.height != common) {
                problems.push_back(glyph.name + ": height " + std::to_string(glyph.height) + ", most glyphs have " +
                                   std::to_string(common));
            }
        }
    }
    archive.Close();
    return problems;
}

int RunGfxCheck(const std::string& path, std::ostream& out)
{
    const std::vector<std::string> problems = CheckGlyphArchive(path);
    for (const std::string& problem : problems) {
        out << path << ": " << problem << '\n';
    }
    if (!problems.empty()) {
        return 1;
    }
    out << path << ": " << DrawableGlyphBytes().size() << " glyphs, all present and sound\n";
    return 0;
}

} // namespace glyphtint::render
