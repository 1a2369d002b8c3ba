// What the program adds to an error: the cause that the archive's own message, kept
// exactly as it stands, leaves out (the tools print it beside the message), and a
// sentence in plain words on what happened and what to do (the window's error box).
#pragma once

#include <cstdint>
#include <exception>
#include <string>

class TZipBaseArchiver;

namespace glyphtint::render {

// One sentence for a person: what went wrong and what they can do about it, or ""
// for an error whose message says all there is.
std::string PlainAdvice(const std::exception& error);

// The message of an error as the tools print it: for a file that could not be opened,
// why ("locked by another program", "Permission denied"), and "Out of memory" in place
// of the library's name for it.
std::string DescribeError(const std::exception& error);

// "compression method N is not supported" when the reader cannot decode the data of
// the entry at index, or "" when it can.
std::string UnsupportedMethodCause(const TZipBaseArchiver& archive, int32_t index);

// What went wrong with the entry that entryName finds in the open archive, as text to
// follow the entry's name: for a failed size or CRC-32 check, the cause the directory
// shows (a compression method the reader does not have, an encrypted entry whose
// password may be wrong, or damaged data) before the archive's message.
std::string DescribeEntryCause(const TZipBaseArchiver& archive, const std::string& entryName,
                               const std::exception& error);

// The message of an error met while reading that entry: led by the entry's name,
// unless the archive's message names it already.
std::string DescribeEntryError(const TZipBaseArchiver& archive, const std::string& entryName,
                               const std::exception& error);

} // namespace glyphtint::render
