// The game profiles: one table per game, each from the game's own source.
//
// Sources are cited by repository, file and the symbol that holds the rule, at the
// commit read. A colour written as floats becomes round(v * 255) in float arithmetic,
// as the game's renderer converts it.
#include "render/GameProfiles.h"

#include "render/ColourSamples.h"
#include "render/GlyphNames.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace glyphtint::render {
namespace {

constexpr std::uint32_t Channel(float value)
{
    return static_cast<std::uint32_t>(value * 255.0f + 0.5f);
}

constexpr std::uint32_t Rgb(float red, float green, float blue)
{
    return Channel(red) << 16 | Channel(green) << 8 | Channel(blue);
}

// Every byte isCode accepts selects palette[(byte - '0') & mask]; the games index with a
// signed char, and masking a two's complement value gives the index of the unsigned byte.
// Text starts in white, and every game here draws a caret that starts no code, the one at
// the end of the text too.
template <std::size_t N, typename IsCode>
constexpr CodeRules MaskedRules(DoubledCaret doubled, const std::array<std::uint32_t, N>& palette, int mask,
                                IsCode isCode)
{
    CodeRules rules;
    rules.colours.fill(CodeRules::kNoCode);
    for (int byte = 0; byte < 256; ++byte) {
        if (isCode(byte)) {
            rules.colours[static_cast<std::size_t>(byte)] = palette[static_cast<std::size_t>((byte - '0') & mask)];
        }
    }
    rules.startCode = '7';
    rules.startColour = 0xFFFFFF;
    rules.doubledCaret = doubled;
    rules.strayCaretDrawn = true;
    rules.trailingCaretDrawn = true;
    return rules;
}

constexpr bool IsDigit(int byte)
{
    return byte >= '0' && byte <= '9';
}

constexpr bool IsAlnum(int byte)
{
    return IsDigit(byte) || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
}

// The eight colours every game of the family starts from (ioquake/ioq3
// code/qcommon/q_shared.h g_color_table[8]); the values as OpenArena's and Urban Terror's
// q_math.c g_color_table write them.
constexpr std::array<std::uint32_t, 8> kQuake3Colours = {
    Rgb(0, 0, 0), Rgb(1, 0, 0), Rgb(0, 1, 0), Rgb(1, 1, 0), Rgb(0, 0, 1), Rgb(0, 1, 1), Rgb(1, 0, 1), Rgb(1, 1, 1),
};

// id-Software/Quake-III-Arena code/game/q_shared.h (4bc5c291): Q_IsColorString takes any
// byte but '^' and the end, ColorIndex is ((c) - '0') & 7. A caret that starts no code
// is drawn as a character, so "^^" draws the first caret and a caret at the end is drawn.
constexpr CodeRules Quake3Rules()
{
    return MaskedRules(DoubledCaret::CaretThenRead, kQuake3Colours, 7,
                       [](int byte) { return byte != 0 && byte != '^'; });
}

// ioquake/ioq3 code/qcommon/q_shared.c Q_IsColorString (0742d30e): "^[0-9a-zA-Z]",
// q_shared.h ColorIndex ((c) - '0') & 0x07. darklegion/tremulous src/qcommon/q_shared.h
// (adbdf8a7) reads as ioquake3 does.
constexpr CodeRules IoQuake3Rules()
{
    return MaskedRules(DoubledCaret::CaretThenRead, kQuake3Colours, 7, IsAlnum);
}

// OpenArena/gamecode code/qcommon/q_shared.h Q_IsColorString "^[0-8]" (02113650), ColorIndex
// (c) - '0'; code/qcommon/q_math.c g_color_table[9] (33efe7d5) adds 8 = (1, .43, 0).
constexpr CodeRules OpenArenaRules()
{
    constexpr std::array<std::uint32_t, 9> colours = {
        kQuake3Colours[0], kQuake3Colours[1], kQuake3Colours[2], kQuake3Colours[3],      kQuake3Colours[4],
        kQuake3Colours[5], kQuake3Colours[6], kQuake3Colours[7], Rgb(1.0f, 0.43f, 0.0f),
    };
    return MaskedRules(DoubledCaret::CaretThenRead, colours, 15, [](int byte) { return byte >= '0' && byte <= '8'; });
}

// FrozenSand/ioq3-for-UrbanTerror-4 code/qcommon/q_math.c g_color_table[10] (6351fae8):
// 8 = (.88, .31, .13), 9 = (.29, .30, .19); codes ^0 to ^9 (its Q_IsColorString not read
// here).
constexpr CodeRules UrbanTerrorRules()
{
    constexpr std::array<std::uint32_t, 16> colours = {
        kQuake3Colours[0], kQuake3Colours[1], kQuake3Colours[2], kQuake3Colours[3],        kQuake3Colours[4],
        kQuake3Colours[5], kQuake3Colours[6], kQuake3Colours[7], Rgb(0.88f, 0.31f, 0.13f), Rgb(0.29f, 0.30f, 0.19f),
    };
    return MaskedRules(DoubledCaret::CaretThenRead, colours, 15, IsDigit);
}

// Eight colours and then orange (1, .5, 0) and grey (.5, .5, .5): JACoders/OpenJK
// shared/qcommon/q_color.c g_color_table (204540f8). Warsow's q_shared.h names its ^8 and
// ^9 COLOR_ORANGE and COLOR_GREY too (its q_math.c not read here).
constexpr std::array<std::uint32_t, 16> kTenColours = {
    kQuake3Colours[0], kQuake3Colours[1], kQuake3Colours[2], kQuake3Colours[3],     kQuake3Colours[4],
    kQuake3Colours[5], kQuake3Colours[6], kQuake3Colours[7], Rgb(1.0f, 0.5f, 0.0f), Rgb(0.5f, 0.5f, 0.5f),
};

// Jedi Academy as Raven released it: Q_IsColorString with <= '7' (OpenJK's history; not
// read here).
constexpr CodeRules JediAcademyRules()
{
    return MaskedRules(DoubledCaret::CaretThenRead, kQuake3Colours, 7,
                       [](int byte) { return byte >= '0' && byte <= '7'; });
}

// JACoders/OpenJK shared/qcommon/q_color.h Q_IsColorString: '0' to '9' and never '^'
// (8e63fa29), ColorIndex ((c) - '0') & Q_COLOR_BITS.
constexpr CodeRules OpenJkRules()
{
    return MaskedRules(DoubledCaret::CaretThenRead, kTenColours, 15, IsDigit);
}

// Warsow/qfusion source/gameshared/q_shared.c Q_GrabCharFromColorString: ^0 to ^9 a colour,
// "^^" one caret, any other caret a character, the one at the end too.
constexpr CodeRules WarsowRules()
{
    return MaskedRules(DoubledCaret::OneCaret, kTenColours, 15, IsDigit);
}

// etlegacy/etlegacy src/qcommon/q_math.c g_color_table[32]; the same values stand in
// DaemonEngine/Daemon src/common/Color.cpp g_color_table (1e5ad794), whose 0 is (.2, .2, .2).
constexpr std::array<std::uint32_t, 32> EnemyTerritoryColours(std::uint32_t zero)
{
    return {
        zero,
        Rgb(1, 0, 0),
        Rgb(0, 1, 0),
        Rgb(1, 1, 0),
        Rgb(0, 0, 1),
        Rgb(0, 1, 1),
        Rgb(1, 0, 1),
        Rgb(1, 1, 1),
        Rgb(1, 0.5f, 0),
        Rgb(0.5f, 0.5f, 0.5f),
        Rgb(0.75f, 0.75f, 0.75f),
        Rgb(0.75f, 0.75f, 0.75f),
        Rgb(0, 0.5f, 0),
        Rgb(0.5f, 0.5f, 0),
        Rgb(0, 0, 0.5f),
        Rgb(0.5f, 0, 0),
        Rgb(0.5f, 0.25f, 0),
        Rgb(1, 0.6f, 0.1f),
        Rgb(0, 0.5f, 0.5f),
        Rgb(0.5f, 0, 0.5f),
        Rgb(0, 0.5f, 1),
        Rgb(0.5f, 0, 1),
        Rgb(0.2f, 0.6f, 0.8f),
        Rgb(0.8f, 1, 0.8f),
        Rgb(0, 0.4f, 0.2f),
        Rgb(1, 0, 0.2f),
        Rgb(0.7f, 0.1f, 0.1f),
        Rgb(0.6f, 0.2f, 0),
        Rgb(0.8f, 0.6f, 0.2f),
        Rgb(0.6f, 0.6f, 0.2f),
        Rgb(1, 1, 0.75f),
        Rgb(1, 1, 0.5f),
    };
}

// etlegacy/etlegacy src/qcommon/q_shared.h (01385039): Q_IsColorString takes any byte but
// '^' and the end, ColorIndex ((c) - '0') & COLOR_BITS (31), COLOR_NULL '*' goes back to
// the colour the text started in (src/client/cl_scrn.c; not read here).
constexpr CodeRules EnemyTerritoryRules()
{
    CodeRules rules = MaskedRules(DoubledCaret::CaretThenRead, EnemyTerritoryColours(Rgb(0, 0, 0)), 31,
                                  [](int byte) { return byte != 0 && byte != '^'; });
    rules.colours['*'] = CodeRules::kStartColourCode;
    return rules;
}

// DaemonEngine/Daemon src/common/Color.cpp TokenIterator::NextToken (1e5ad794): "^^" one
// caret; "^*" the default colour; a byte whose upper case lies in '0'..'O' indexes the
// table with (c - '0') % 32; ^x or ^X and three hex digits (d / 15); ^# and six hex digits;
// anything else, the caret at the end too, is a character.
constexpr CodeRules UnvanquishedRules()
{
    CodeRules rules =
        MaskedRules(DoubledCaret::OneCaret, EnemyTerritoryColours(Rgb(0.2f, 0.2f, 0.2f)), 31, [](int byte) {
            const int upper = byte >= 'a' && byte <= 'z' ? byte - 'a' + 'A' : byte;
            return upper >= '0' && upper < 'P';
        });
    rules.colours['*'] = CodeRules::kStartColourCode;
    rules.colours['x'] = CodeRules::kShortHexMark;
    rules.colours['X'] = CodeRules::kShortHexMark;
    rules.colours['#'] = CodeRules::kLongHexMark;
    return rules;
}

// xonotic/darkplaces gl_draw.c (01164e61) DrawQ_String_Scale: ^0 to ^9; ^x and three hex
// digits (d / 15); "^^" draws one caret; any other caret is drawn and the byte after it
// read anew. string_colors: Quake III's eight, 8 white at half opacity (drawn here as
// white: a tint has no opacity), 9 (.5, .5, .5).
constexpr CodeRules XonoticRules()
{
    constexpr std::array<std::uint32_t, 16> colours = {
        kQuake3Colours[0], kQuake3Colours[1], kQuake3Colours[2], kQuake3Colours[3], kQuake3Colours[4],
        kQuake3Colours[5], kQuake3Colours[6], kQuake3Colours[7], Rgb(1, 1, 1),      Rgb(0.5f, 0.5f, 0.5f),
    };
    CodeRules rules = MaskedRules(DoubledCaret::OneCaret, colours, 15, IsDigit);
    rules.colours['x'] = CodeRules::kShortHexMark;
    return rules;
}

// TTimo/doom3.gpl neo/idlib/Str.h (330a564c): IsColor takes any byte but the end and a
// space, ColorIndex is c & 15, so "^^" is itself a code; Str.cpp g_color_table: 1-7
// Quake III's, 8 grey (.5), 9-15 black. C_COLOR_DEFAULT '0' goes back to the colour the
// text started in (idRenderSystemLocal::DrawSmallStringExt, which draws a caret that
// starts no code); 'p' and '@' share its index 0 but draw black.
constexpr CodeRules Doom3Rules()
{
    constexpr std::array<std::uint32_t, 16> colours = {
        Rgb(0, 0, 0), Rgb(1, 0, 0), Rgb(0, 1, 0), Rgb(1, 1, 0),          Rgb(0, 0, 1),
        Rgb(0, 1, 1), Rgb(1, 0, 1), Rgb(1, 1, 1), Rgb(0.5f, 0.5f, 0.5f),
    };
    // c & 15 is (c - '0') & 15: '0' is 48.
    CodeRules rules =
        MaskedRules(DoubledCaret::CaretThenRead, colours, 15, [](int byte) { return byte != 0 && byte != ' '; });
    rules.colours['0'] = CodeRules::kStartColourCode;
    rules.startCode = '0';
    return rules;
}

// Limits: ioquake/ioq3 code/qcommon/q_shared.h MAX_NAME_LENGTH 32 "max length of a client
// name"; Warsow/qfusion source/gameshared/q_shared.h MAX_NAME_BYTES 32 "including trailing
// \0" and MAX_NAME_CHARS 15 visible; Enemy Territory's q_shared.h MAX_NAME_LENGTH 36
// ("increased to 36 to match MAX_NETNAME"). Urban Terror 32, Unvanquished 128 bytes and 32
// shown, Xonotic 128: not read here. None where no limit is known.
const std::array<GameProfile, 13> kProfiles = {{
    {"glyphtint", "glyphtint", DefaultCodeRules(), std::nullopt, std::nullopt},
    {"quake3", "Quake III Arena 1.32", Quake3Rules(), 32, std::nullopt},
    {"ioquake3", "ioquake3", IoQuake3Rules(), 32, std::nullopt},
    {"openarena", "OpenArena", OpenArenaRules(), 32, std::nullopt},
    {"tremulous", "Tremulous 1.2", IoQuake3Rules(), 32, std::nullopt},
    {"urbanterror", "Urban Terror 4", UrbanTerrorRules(), 32, std::nullopt},
    {"jka", "Jedi Academy (Raven)", JediAcademyRules(), std::nullopt, std::nullopt},
    {"openjk", "OpenJK (Jedi Outcast, Jedi Academy)", OpenJkRules(), std::nullopt, std::nullopt},
    {"warsow", "Warsow / Warfork", WarsowRules(), 31, 15},
    {"etlegacy", "Enemy Territory / ET: Legacy", EnemyTerritoryRules(), 36, std::nullopt},
    {"unvanquished", "Unvanquished", UnvanquishedRules(), 128, 32},
    {"xonotic", "Xonotic", XonoticRules(), 128, std::nullopt},
    {"doom3", "Doom 3", Doom3Rules(), std::nullopt, std::nullopt},
}};

bool IsUtf8Continuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

} // namespace

std::span<const GameProfile> GameProfiles()
{
    return kProfiles;
}

const GameProfile& DefaultGameProfile()
{
    return kProfiles.front();
}

const GameProfile* FindGameProfile(std::string_view id)
{
    const auto found =
        std::find_if(kProfiles.begin(), kProfiles.end(), [id](const GameProfile& profile) { return profile.id == id; });
    return found == kProfiles.end() ? nullptr : &*found;
}

std::string KnownGameIds()
{
    std::string ids;
    for (const GameProfile& profile : kProfiles) {
        ids += ids.empty() ? "" : ", ";
        ids += profile.id;
    }
    return ids;
}

std::array<std::string, 2> PaletteTexts(const GameProfile& profile)
{
    if (&profile == &DefaultGameProfile()) {
        return {kPaletteText1, kPaletteText2};
    }
    // Each colour is shown by the first of its codes in the order the games number them
    // (the byte '0' + index first), the digits listed in the order of the keys.
    constexpr std::string_view kPreferred =
        "0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz/*-+_[]|'.,!#$&(){}";
    constexpr std::string_view kShown =
        "1234567890:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz/*-+_[]|'.,!#$&(){}";
    std::vector<std::uint32_t> colours;
    std::string codes;
    for (const char code : kPreferred) {
        const std::uint32_t colour = profile.rules.colours[static_cast<unsigned char>(code)];
        if (colour <= 0xFFFFFF && std::find(colours.begin(), colours.end(), colour) == colours.end()) {
            colours.push_back(colour);
            codes += code;
        }
    }
    std::vector<std::string> samples;
    for (const char code : kShown) {
        if (codes.find(code) == std::string::npos) {
            continue;
        }
        // A code without a glyph of its own shows its colour on an x.
        const char shown = HasGlyph(static_cast<unsigned char>(code)) ? code : 'x';
        const std::string sample{'^', code, shown};
        std::string drawn;
        ScanCodedText(
            sample, [&drawn](unsigned char byte, TColourTriple) { drawn += static_cast<char>(byte); }, profile.rules);
        if (drawn == std::string(1, shown)) {
            samples.push_back(sample);
        }
    }
    std::array<std::string, 2> palettes;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        palettes[i < (samples.size() + 1) / 2 ? 0 : 1] += samples[i];
    }
    return palettes;
}

NameLength MeasureName(std::string_view text, const GameProfile& profile)
{
    NameLength length;
    length.bytes = text.size();
    CodeTokenizer tokens(text, profile.rules);
    for (CodeToken token; tokens.Next(token);) {
        if (token.kind == ByteKind::Drawn && !IsUtf8Continuation(token.byte)) {
            ++length.shown;
        }
    }
    length.overBytes = profile.byteLimit && length.bytes > *profile.byteLimit;
    length.overShown = profile.shownLimit && length.shown > *profile.shownLimit;
    return length;
}

std::string NameLengthReadout(const NameLength& length, const GameProfile& profile)
{
    std::string readout = std::to_string(length.bytes) + (length.bytes == 1 ? " byte" : " bytes");
    if (profile.byteLimit) {
        readout += " of " + std::to_string(*profile.byteLimit);
    }
    readout += " \u00B7 " + std::to_string(length.shown) + " shown";
    if (profile.shownLimit) {
        readout += " of " + std::to_string(*profile.shownLimit);
    }
    return readout;
}

std::string NameLimitWarning(const NameLength& length, const GameProfile& profile)
{
    std::string warning;
    if (length.overBytes) {
        warning = "Longer than " + std::string(profile.title) + " keeps: " + std::to_string(length.bytes) +
                  " bytes of " + std::to_string(*profile.byteLimit) + ".";
    }
    if (length.overShown) {
        warning += warning.empty() ? "" : " ";
        warning += "Shows more than " + std::string(profile.title) + " allows: " + std::to_string(length.shown) +
                   " characters of " + std::to_string(*profile.shownLimit) + ".";
    }
    return warning;
}

} // namespace glyphtint::render
