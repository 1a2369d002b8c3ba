// The archive component's fixed message table and the lookup from native error numbers.
#include "archive/ZipMessages.h"

#include <array>

namespace glyphtint::archive {
namespace {

constexpr std::array<const char*, kZipMessageCount> kMessages = {
    "Unknown error",                                                                           // 0
    "Index out of bounds",                                                                     // 1
    "Invalid compression mode. Mode must be in [0-9] range",                                   // 2
    "Unexpected nil pointer",                                                                  // 3
    "Invalid size or check sum of file",                                                       // 4
    "File name is blank. Specify appropriate file name",                                       // 5
    "File \"%s\" not found",                                                                   // 6
    "Archive is not open",                                                                     // 7
    "SFXStub property is not specified",                                                       // 8
    "Cannot create file \"%s\"",                                                               // 9
    "Cannot create directory \"%s\"",                                                          // 10
    "Internal error. Update is not started",                                                   // 11
    "Cannot open file \"%s\"",                                                                 // 12
    "Cannot proceed when update is not ended. Preceding EndUpdate call is required.",          // 13
    "Cannot delete file \"%s\"",                                                               // 14
    "In-memory archive can be created only",                                                   // 15
    "File is open in read-only mode",                                                          // 16
    "Invalid compressed size, rfs.size = %d, count = %d",                                      // 17
    "Invalid archive file.",                                                                   // 18
    "Cannot create output file. Probably file is locked by another process. FileName = '%s'.", // 19
    "Archive is open. You should close it beore performing this operation.",                   // 20
    "Unable to create directory",                                                              // 21
    "Cannot find Zip64 directory end record",                                                  // 22
    "Cannot compress file '%s'. Zip64 mode is not enabled",                                    // 23
    "Cannot open archive file. Opening aborted or invalid file",                               // 24
    "Write to stream error",                                                                   // 25
    "Cannot place SFX stub on volume. Volume size limit is too small",                         // 26
    "Archive is damaged. Open failed",                                                         // 27
    "MakeSFX is not allowed for splitted or spanned archives. Set SFXStub before archive creation instead of "
    "MakeSFX",                                               // 28
    "Archive already has SFX stub",                          // 29
    "Multi-volume archive is not allowed for custom stream", // 30
};

// Row n holds the text index for native error n. Natives 52 .. 60 are reserved
// and select no text of their own.
constexpr std::array<int8_t, kZipNativeLookupRows> kNativeToIndex = {
    0,  1,  1,  1,  1,  2,  3,  1,  4,  5,  // 0 .. 9
    5,  6,  6,  7,  7,  6,  1,  8,  6,  9,  // 10 .. 19
    10, 1,  11, 9,  1,  11, 13, 14, 15, 5,  // 20 .. 29
    6,  6,  16, 12, 17, 18, 19, 20, 6,  21, // 30 .. 39
    22, 23, 6,  23, 24, 24, 25, 26, 27, 28, // 40 .. 49
    29, 30, 0,  0,  0,  0,  0,  0,  0,  0,  // 50 .. 59
    0,                                      // 60
};

} // namespace

int32_t ZipMessageIndex(int32_t nativeError)
{
    if (nativeError < 0 || nativeError >= kZipNativeLookupRows) {
        return 0;
    }
    return kNativeToIndex[static_cast<size_t>(nativeError)];
}

std::string_view ZipMessageText(int32_t index)
{
    if (index < 0 || index >= kZipMessageCount) {
        index = 0;
    }
    return kMessages[static_cast<size_t>(index)];
}

} // namespace glyphtint::archive
