// A coded text read from a file or standard input, for texts longer than a command line
// can carry, and the size limit that every text from outside is held to.
#pragma once

#include <cstddef>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

namespace glyphtint::tools {

// A text longer than render::kMaxTextBytes, refused before it is measured or drawn.
class ETextOverLimit : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The refusal of a text over the limit, with where the text came from ("in FILE", "on
// standard input"): "The text in FILE is longer than 1048576 bytes, the most
// glyphtint-render takes".
std::string TextOverLimitMessage(const std::string& where);

// Raises ETextOverLimit with TextOverLimitMessage(where) when text is over the limit.
void RequireTextWithinLimit(std::string_view text, const std::string& where);

// Reads file to its end, but never more than maxBytes + 1 bytes: a result longer than
// maxBytes means that the source holds more, and nothing past that was read or held. An
// endless source (/dev/zero, a pipe that never closes) costs at most that much. Raises
// EStreamError "Cannot read NAME" when reading fails.
std::string ReadAtMost(std::FILE* file, std::size_t maxBytes, const std::string& name);

// The whole content of the file at path, or of standard input for "-", without one final
// line end (LF or CRLF): `echo '^1m00' >name.txt` gives the text "^1m00". Line ends
// inside stay part of the text. A FIFO or a process substitution is read as `cat` would,
// waiting for its writer. Raises EFOpenError when the file cannot be opened, EStreamError
// "Cannot read file PATH" when reading it fails and ETextOverLimit, after reading at most
// the limit and three bytes, for a text over render::kMaxTextBytes.
std::string ReadTextFile(const std::string& path);

} // namespace glyphtint::tools
