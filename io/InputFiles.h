// Files a tool takes in: read only when they are regular files, never waited on, and
// files made in memory that other code opens by a path.
#pragma once

#include "io/Descriptor.h"
#include "io/StreamError.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace glyphtint::io {

// A file that cannot be read as an input; what() says why, without the path.
class EInputFileError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// The whole regular file at path. A FIFO, device, socket or folder is refused at once
// (it is opened without waiting for a writer and never read), as is a file of more
// than maxBytes. Raises EInputFileError.
std::string ReadRegularFile(const std::string& path, std::uint64_t maxBytes);

// A file that exists only in memory and has no name in any folder, so that nothing is
// left behind whatever ends the process; opened by Path() as long as the object lives.
// Its bytes are sealed once written.
class UnnamedFile {
public:
    // Raises EInputFileError when the system cannot make or fill it.
    explicit UnnamedFile(std::string_view bytes);

    // A path that opens the file (through /proc/self/fd).
    std::string Path() const;

private:
    Descriptor fd_;
};

} // namespace glyphtint::io
