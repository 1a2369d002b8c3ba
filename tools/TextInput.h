// A coded text read from a file or standard input, for texts longer than a command line
// can carry.
#pragma once

#include <string>

namespace glyphtint::tools {

// The whole content of the file at path, or of standard input for "-", without one final
// line end (LF or CRLF): `echo '^1m00' >name.txt` gives the text "^1m00". Line ends
// inside stay part of the text. Raises EFOpenError when the file cannot be opened and
// EStreamError "Cannot read file PATH" when reading it fails.
std::string ReadTextFile(const std::string& path);

} // namespace glyphtint::tools
