// The causes the glyph tools add to an error met while reading an entry of a glyph archive.
#pragma once

#include "render/ErrorCauses.h"

#include <cstdint>
#include <exception>
#include <string>

class TZipBaseArchiver;

namespace glyphtint::render {

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
