// EZipException: the archive component's error, with its message table index and native number.
#include "archive/ZipException.h"

#include <cstdio>

#include "archive/ZipMessages.h"

namespace {

std::string ArgText(const TZipFormatArg& arg)
{
    if (const auto* text = std::get_if<std::string>(&arg)) {
        return *text;
    }
    return std::to_string(std::get<int64_t>(arg));
}

// Fills "%s" and "%d" in order from args; "%%" gives one "%". A placeholder
// without an argument stays as written.
std::string FormatText(std::string_view pattern, std::initializer_list<TZipFormatArg> args)
{
    std::string out;
    out.reserve(pattern.size() + 32);
    auto next = args.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '%' && i + 1 < pattern.size()) {
            const char kind = pattern[i + 1];
            if (kind == '%') {
                out += '%';
                ++i;
                continue;
            }
            if ((kind == 's' || kind == 'd') && next != args.end()) {
                out += ArgText(*next++);
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

} // namespace

std::string EZipException::BuildMessage(int32_t nativeError, std::string_view componentName,
                                        std::initializer_list<TZipFormatArg> args)
{
    using glyphtint::archive::ZipMessageIndex;
    using glyphtint::archive::ZipMessageText;
    std::string text = FormatText(ZipMessageText(ZipMessageIndex(nativeError)), args);
    if (!componentName.empty()) {
        text = std::string(componentName) + ": " + text;
    }
    // Right-aligned in five places with the padding written as zeros; a negative
    // number keeps its sign where the padding ends, as the width-based format gives.
    char digits[16];
    std::snprintf(digits, sizeof digits, "%5d", static_cast<int>(nativeError));
    for (char* p = digits; *p == ' '; ++p) {
        *p = '0';
    }
    return text + " - Native error: " + digits;
}

EZipException::EZipException(int32_t nativeError, std::string_view componentName)
    : EZipException(nativeError, componentName, {})
{
}

EZipException::EZipException(int32_t nativeError, std::string_view componentName,
                             std::initializer_list<TZipFormatArg> args)
    : std::runtime_error(BuildMessage(nativeError, componentName, args)),
      errorCode_(glyphtint::archive::ZipMessageIndex(nativeError)), nativeError_(nativeError)
{
}

EZipEntryTooLarge::EZipEntryTooLarge(const std::string& entryName, uint64_t size, uint64_t limit, bool compressed)
    : std::runtime_error("Entry \"" + entryName + "\" is too large (" + std::to_string(size) + " bytes" +
                         (compressed ? " compressed" : "") + "; at most " + std::to_string(limit) + " are read)")
{
}
