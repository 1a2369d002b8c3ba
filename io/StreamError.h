// Errors of the file layer: opening, reading, creating and writing files. Every file
// error derives from EStreamError, so one handler can catch them all.
#pragma once

#include <stdexcept>
#include <string>

// Base of the file layer's errors; what() is the message the user reads.
class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file exists but cannot be opened with the requested access and sharing
// (held by another opener, access denied, not a regular file).
class EFOpenError : public EStreamError {
public:
    // osError: the errno value that made the open fail (EWOULDBLOCK: the file
    // is locked by another opener), or 0 when there is none. It adds to what
    // a caller can tell the user; the message stays the same.
    explicit EFOpenError(const std::string& fileName, int osError = 0)
        : EStreamError("Cannot open file " + fileName), osError_(osError)
    {
    }
    int OsError() const noexcept { return osError_; }

private:
    int osError_;
};

// An exact read found fewer bytes than it needed.
class EReadError : public EStreamError {
public:
    EReadError() : EStreamError("Stream read error") { }
};

// A file could not be created or replaced at the given path.
class EFCreateError : public EStreamError {
public:
    explicit EFCreateError(const std::string& fileName) : EStreamError("Cannot create file " + fileName) { }
    // With the reason the user can act on, after the path: "Cannot create file PATH: reason".
    EFCreateError(const std::string& fileName, const std::string& reason)
        : EStreamError("Cannot create file " + fileName + ": " + reason)
    {
    }
};

// Writing a file stopped short (disk full, file size limit, I/O error).
class EWriteError : public EStreamError {
public:
    explicit EWriteError(const std::string& fileName) : EStreamError("Cannot write file " + fileName) { }
};
