// Numbers read from text and written into it the same way in every locale: hexadecimal
// digits, and decimals with a point whatever LC_NUMERIC says (Qt programs take the
// environment's locale, where printf and strtod would write and want "4,5").
#pragma once

#include <charconv>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

namespace glyphtint::render {

// The value of a hexadecimal digit of either case; -1 for any other byte.
constexpr int HexDigit(char c)
{
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}

// The bytes in lower-case hexadecimal, two digits a byte.
inline std::string HexString(std::span<const unsigned char> bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const unsigned char byte : bytes) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

// A decimal number that is the whole of text ("4.5", "21", "45e-1", "-1"); nothing for
// anything else, a comma, a plus sign or a space included.
inline std::optional<double> ParseDecimal(std::string_view text)
{
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

// value with a point: with digits after it ("12.3") for fixed, else with that many
// significant digits as printf's %.*g writes them.
inline std::string FormatDecimal(double value, int digits, std::chars_format format = std::chars_format::fixed)
{
    // The longest double in fixed form has 309 digits before the point.
    std::string text(320 + static_cast<std::size_t>(digits > 0 ? digits : 0), '\0');
    const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), value, format, digits);
    text.resize(error == std::errc() ? static_cast<std::size_t>(end - text.data()) : 0);
    return text;
}

} // namespace glyphtint::render
