// Errors of the file layer under the archive component: opening the file and exact reads.
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
    explicit EFOpenError(const std::string& fileName) : EStreamError("Cannot open file " + fileName) { }
};

// An exact read found fewer bytes than it needed.
class EReadError : public EStreamError {
public:
    EReadError() : EStreamError("Stream read error") { }
};
