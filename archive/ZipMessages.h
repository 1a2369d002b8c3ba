// The archive component's fixed message table and the lookup from native error numbers.
#pragma once

#include <cstdint>
#include <string_view>

namespace glyphtint::archive {

// Number of texts in the message table (indices 0 .. 30).
inline constexpr int32_t kZipMessageCount = 31;
// Number of rows in the native-number lookup (natives 0 .. 60).
inline constexpr int32_t kZipNativeLookupRows = 61;

// The native error numbers the read path raises.
inline constexpr int32_t kNativeBadCompressionMode = 5;
inline constexpr int32_t kNativeBadSizeOrCrc = 8;
inline constexpr int32_t kNativeBlankFileName = 10;
inline constexpr int32_t kNativeFileNotFound = 12;
inline constexpr int32_t kNativeNotOpen = 13;
inline constexpr int32_t kNativeNotFound = 15;
inline constexpr int32_t kNativeIndexOutOfBounds = 16;
inline constexpr int32_t kNativeInMemoryOnly = 28;
inline constexpr int32_t kNativeInvalidArchive = 35;
inline constexpr int32_t kNativeNoZip64EndRecord = 40;
inline constexpr int32_t kNativeCannotOpenVolume = 44;
inline constexpr int32_t kNativeDamaged = 48;

// Index of the text that a native error number selects; 0 ("Unknown error")
// for numbers outside the lookup and for the rows that select no text.
int32_t ZipMessageIndex(int32_t nativeError);

// Text of the message table at an index; an index outside the table gives text 0.
std::string_view ZipMessageText(int32_t index);

} // namespace glyphtint::archive
