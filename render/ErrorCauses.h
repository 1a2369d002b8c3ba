// What the program adds to an error: the cause of a file that could not be opened, which
// the reader's own message, kept exactly as it stands, leaves out (the tools print it
// beside the message), and a sentence in plain words on what happened and what to do
// (the window's error box).
#pragma once

#include <exception>
#include <string>

namespace glyphtint::render {

// One sentence for a person: what went wrong and what they can do about it, or ""
// for an error whose message says all there is.
std::string PlainAdvice(const std::exception& error);

// The message of an error as the tools print it: for a file that could not be opened,
// why ("locked by another program", "Permission denied"), and "Out of memory" in place
// of the library's name for it.
std::string DescribeError(const std::exception& error);

} // namespace glyphtint::render
