// ColourName and DescribePicture: the nearest named colour in OKLab, and the runs of a
// coded text told with those names.
#include "render/ColourNames.h"

#include "render/Contrast.h"
#include "render/GlyphNames.h"

#include <array>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace glyphtint::render {
namespace {

struct NamedColour {
    std::string_view name;
    std::uint32_t rgb; // 0xRRGGBB: the colour the name stands for
};

// The names a tint is told by, each at the colour most people would give that name.
// A tint takes the name whose colour lies nearest in OKLab, where equal distances look
// about equally different; the list is short so that names stay plain words.
constexpr NamedColour kNamedColours[] = {
    {"red", 0xE01010},          {"dark red", 0xA01010},  {"orange", 0xFF8C00},   {"yellow", 0xF0E800},
    {"olive", 0x808000},        {"green", 0x008000},     {"lime", 0x00FF00},     {"light green", 0xB8F0B8},
    {"teal", 0x008080},         {"cyan", 0x00FFFF},      {"sky blue", 0x50A0E0}, {"blue", 0x2838F0},
    {"light blue", 0x90A8FF},   {"navy", 0x000080},      {"purple", 0x800080},   {"violet", 0x9A30F0},
    {"magenta", 0xFF00FF},      {"pink", 0xFFA0C0},      {"brown", 0x8B4513},    {"gold", 0xC8A040},
    {"light yellow", 0xF0F080}, {"cream", 0xF8F8C8},     {"white", 0xFFFFFF},    {"light grey", 0xC0C0C0},
    {"grey", 0x808080},         {"dark grey", 0x404040}, {"black", 0x000000},
};

struct OKLab {
    double L = 0, a = 0, b = 0;
};

// Björn Ottosson's OKLab from sRGB.
OKLab ToOKLab(TColourTriple colour)
{
    const double r = LinearChannel(colour.Red), g = LinearChannel(colour.Green), b = LinearChannel(colour.Blue);
    const double l = std::cbrt(0.4122214708 * r + 0.5363325363 * g + 0.0514459929 * b);
    const double m = std::cbrt(0.2119034982 * r + 0.6806995451 * g + 0.1073969566 * b);
    const double s = std::cbrt(0.0883024619 * r + 0.2817188376 * g + 0.6299787005 * b);
    return {0.2104542553 * l + 0.7936177850 * m - 0.0040720468 * s,
            1.9779984951 * l - 2.4285922050 * m + 0.4505937099 * s,
            0.0259040371 * l + 0.7827717662 * m - 0.8086757660 * s};
}

TColourTriple Unpacked(std::uint32_t rgb)
{
    TColourTriple colour;
    UnpackRGB(rgb, colour);
    return colour;
}

std::array<OKLab, std::size(kNamedColours)> NamedColoursInOKLab()
{
    std::array<OKLab, std::size(kNamedColours)> labs;
    for (std::size_t i = 0; i < labs.size(); ++i) {
        labs[i] = ToOKLab(Unpacked(kNamedColours[i].rgb));
    }
    return labs;
}

// Collects the drawn characters in runs of one colour name and tells them.
class RunTeller {
public:
    void Add(char character, std::string_view colour)
    {
        if (colour != colour_) {
            EndRun();
            colour_ = colour;
        }
        run_ += character;
    }

    std::string Finish()
    {
        EndRun();
        std::string told;
        for (const auto& [words, colour] : told_) {
            told += told.empty() ? "" : ", ";
            told += words + " in ";
            told += colour;
        }
        return told;
    }

private:
    void EndRun()
    {
        const std::size_t first = run_.find_first_not_of(' ');
        if (first != std::string::npos) {
            std::string words = run_.substr(first, run_.find_last_not_of(' ') - first + 1);
            if (!told_.empty() && told_.back().second == colour_) {
                // Only spaces stood between the two runs of this colour.
                told_.back().first += ' ' + words;
            } else {
                told_.emplace_back(std::move(words), colour_);
            }
        }
        run_.clear();
    }

    std::vector<std::pair<std::string, std::string_view>> told_;
    std::string run_;
    std::string_view colour_;
};

} // namespace

std::string_view ColourName(TColourTriple colour)
{
    const OKLab lab = ToOKLab(colour);
    static const auto namedLabs = NamedColoursInOKLab();
    std::string_view nearest;
    double nearestDistance = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < namedLabs.size(); ++i) {
        const OKLab& other = namedLabs[i];
        const double distance = (lab.L - other.L) * (lab.L - other.L) + (lab.a - other.a) * (lab.a - other.a) +
                                (lab.b - other.b) * (lab.b - other.b);
        if (distance < nearestDistance) {
            nearestDistance = distance;
            nearest = kNamedColours[i].name;
        }
    }
    return nearest;
}

std::string_view ColourCodeName(unsigned char code)
{
    TColourTriple colour;
    return SelectColourCode(code, colour) ? ColourName(colour) : std::string_view();
}

std::string DescribePicture(std::string_view text, const PictureStyle& style, const CodeRules& rules)
{
    RunTeller teller;
    // A text changes colour far less often than it draws: the name is looked up per change.
    TColourTriple namedTint{-1, -1, -1};
    std::string_view name;
    ScanCodedText(
        text,
        [&](unsigned char character, TColourTriple tint) {
            if (!HasGlyph(character)) {
                return;
            }
            if (tint != namedTint) {
                namedTint = tint;
                name = ColourName(StyledTint(tint, style));
            }
            teller.Add(static_cast<char>(character), name);
        },
        rules);
    return teller.Finish();
}

} // namespace glyphtint::render
