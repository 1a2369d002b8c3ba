// What the program adds to an error: the entry, the compression method, encryption, locks,
// and advice in plain words.
#include "render/ErrorCauses.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "io/StreamError.h"
#include "archive/ZipException.h"
#include "archive/ZipMessages.h"
#include "raster/Graphics.h"
#include "raster/JPEGImage.h"

namespace glyphtint::render {
namespace {

// Why a file could not be opened: "locked by another program" when another opener
// holds it, the system's text for any other cause ("Permission denied"), or "" when
// none is known.
std::string FileOpenCause(const EFOpenError& error)
{
    const int cause = error.OsError();
    if (cause == 0) {
        return "";
    }
    return cause == EWOULDBLOCK ? std::string("locked by another program") : std::strerror(cause);
}

bool IsOutOfMemory(const std::exception& error)
{
    return dynamic_cast<const std::bad_alloc*>(&error) != nullptr;
}

} // namespace

std::string DescribeError(const std::exception& error)
{
    if (IsOutOfMemory(error)) {
        return "Out of memory";
    }
    if (const auto* open = dynamic_cast<const EFOpenError*>(&error)) {
        if (std::string cause = FileOpenCause(*open); !cause.empty()) {
            return std::string(error.what()) + ": " + cause;
        }
    }
    return error.what();
}

std::string PlainAdvice(const std::exception& error)
{
    const std::string damaged = "The glyph pack is damaged: reinstall glyphtint, or check the pack with "
                                "\"glyphtint-gfx check\".";
    if (IsOutOfMemory(error) || dynamic_cast<const EOutOfResources*>(&error) != nullptr) {
        return "The picture is too large for the memory available: use a shorter text.";
    }
    if (const auto* open = dynamic_cast<const EFOpenError*>(&error)) {
        // Readers never lock each other out, and only someone who may write the pack
        // can hold its write lock: a lock in the way is a writer's.
        if (open->OsError() == EWOULDBLOCK) {
            return "Another program is writing the glyph pack (" + FileOpenCause(*open) +
                   "): wait until it has finished, then start glyphtint again.";
        }
        const std::string cause = FileOpenCause(*open);
        return "The glyph pack cannot be read" + (cause.empty() ? std::string() : " (" + cause + ")") +
               ": check the file and its permissions, then start glyphtint again.";
    }
    if (dynamic_cast<const EReadError*>(&error) != nullptr) {
        return "The glyph pack changed on disk, or ends early, while the program ran: restart glyphtint; if "
               "this comes again, reinstall it or check the pack with \"glyphtint-gfx check\".";
    }
    if (dynamic_cast<const EFCreateError*>(&error) != nullptr) {
        return "The picture cannot be written there: choose another folder or file name.";
    }
    if (dynamic_cast<const EWriteError*>(&error) != nullptr) {
        return "Writing the picture failed, and the file of that name was kept as it was: free some disk "
               "space and save again.";
    }
    if (dynamic_cast<const EJPEG*>(&error) != nullptr || dynamic_cast<const EZipEntryTooLarge*>(&error) != nullptr) {
        return "A glyph picture in the glyph pack cannot be read. " + damaged;
    }
    if (const auto* zip = dynamic_cast<const EZipException*>(&error)) {
        switch (zip->NativeError()) {
        case glyphtint::archive::kNativeNotFound:
            return "The glyph pack has no picture for a character of the text, so it is incomplete: "
                   "\"glyphtint-gfx check\" lists what is missing.";
        case glyphtint::archive::kNativeNotOpen:
            return "The glyph pack could not be opened when glyphtint started: replace or repair it, then "
                   "start glyphtint again.";
        default: return damaged;
        }
    }
    return "";
}

} // namespace glyphtint::render
