// Names as players make them, the same in every bench that draws names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace glyphtint::bench {

// Letters, digits, a few signs and a colour code now and then, 14 to 24 bytes.
inline std::vector<std::string> MakeNames(std::size_t count)
{
    constexpr std::string_view kCharacters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 _-.!";
    constexpr std::string_view kCodes = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::uint32_t seed = 16;
    const auto next = [&seed](std::uint32_t below) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % below;
    };
    std::vector<std::string> names;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t length = 14 + next(11);
        std::string name;
        while (name.size() < length) {
            if (next(100) < 15 && name.size() + 2 < length) {
                name += '^';
                name += kCodes[next(kCodes.size())];
            } else {
                name += kCharacters[next(kCharacters.size())];
            }
        }
        names.push_back(name);
    }
    return names;
}

} // namespace glyphtint::bench
