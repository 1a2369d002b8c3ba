// The entry's cause of an error: the compression method, encryption, or damaged data.
#include "render/GfxErrors.h"

#include "archive/ZipBaseArchiver.h"
#include "archive/ZipException.h"
#include "archive/ZipFormat.h"
#include "archive/ZipMessages.h"

#include <new>

namespace glyphtint::render {
namespace {

// The entry's own cause of a failed size or CRC-32 check, or "" when its directory
// entry shows none.
std::string CauseOfBadData(const TZipBaseArchiver& archive, const std::string& entryName)
{
    const int32_t index = archive.FindEntry(entryName);
    if (index < 0) {
        return "";
    }
    if (std::string unsupported = UnsupportedMethodCause(archive, index); !unsupported.empty()) {
        return unsupported;
    }
    if (archive.DescribeEntry(index).Encrypted) {
        return "encrypted, and the password is wrong or the data are damaged";
    }
    return "the data are damaged";
}

} // namespace

std::string UnsupportedMethodCause(const TZipBaseArchiver& archive, int32_t index)
{
    const uint16_t method = archive.Directory().Items().At(index).Method();
    if (glyphtint::archive::zipfmt::IsDecodableMethod(method)) {
        return "";
    }
    return "compression method " + std::to_string(method) + " is not supported";
}

std::string DescribeEntryCause(const TZipBaseArchiver& archive, const std::string& entryName,
                               const std::exception& error)
{
    if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) {
        return "out of memory";
    }
    const auto* zip = dynamic_cast<const EZipException*>(&error);
    if (zip != nullptr && zip->NativeError() == glyphtint::archive::kNativeBadSizeOrCrc) {
        return CauseOfBadData(archive, entryName) + " (" + error.what() + ")";
    }
    return error.what();
}

std::string DescribeEntryError(const TZipBaseArchiver& archive, const std::string& entryName,
                               const std::exception& error)
{
    const auto* zip = dynamic_cast<const EZipException*>(&error);
    const bool named = (zip != nullptr && zip->NativeError() == glyphtint::archive::kNativeNotFound) ||
                       dynamic_cast<const EZipEntryTooLarge*>(&error) != nullptr;
    return named ? error.what() : "\"" + entryName + "\": " + DescribeEntryCause(archive, entryName, error);
}

} // namespace glyphtint::render
