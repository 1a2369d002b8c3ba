// EZipException: the archive component's error, with its message table index and native number.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

// One argument for a "%s" or "%d" placeholder of a message text.
using TZipFormatArg = std::variant<std::string, int64_t>;

// Raised for every failure the archive component detects itself. what() is the
// whole message: an optional "ComponentName: " prefix, the table text with its
// placeholders filled, and " - Native error: " followed by the native number in
// five zero-padded digits.
class EZipException : public std::runtime_error {
public:
    // componentName empty: the error is raised without a component (no prefix).
    explicit EZipException(int32_t nativeError, std::string_view componentName = {});
    EZipException(int32_t nativeError, std::string_view componentName, std::initializer_list<TZipFormatArg> args);

    // Index of the message text in the table.
    int32_t ErrorCode() const noexcept { return errorCode_; }
    // The component's own error number that was raised.
    int32_t NativeError() const noexcept { return nativeError_; }

    // Builds the message text exactly as the constructors do.
    static std::string BuildMessage(int32_t nativeError, std::string_view componentName,
                                    std::initializer_list<TZipFormatArg> args);

private:
    int32_t errorCode_;
    int32_t nativeError_;
};

// Raised by TZipBaseArchiver::ExtractEntryBytesUpTo for an entry larger than its
// caller takes. The message names the entry, its size and the limit.
class EZipEntryTooLarge : public std::runtime_error {
public:
    // compressed: the size given is the entry's compressed size.
    EZipEntryTooLarge(const std::string& entryName, uint64_t size, uint64_t limit, bool compressed);
};
