// SharedFolders: the planted-link rule and a folder opened once through its parent.
#include "io/SharedFolders.h"

#include "io/Descriptor.h"
#include "io/StreamError.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace glyphtint::io {
namespace {

// How often the folder is looked up again when its name changed between two calls: only
// another process making, removing or replacing it at that moment gets here at all.
constexpr int kLookups = 100;

Descriptor OpenParent(const std::string& parent, const std::string& path)
{
    Descriptor fd(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.Valid() && errno == ENOENT) {
        std::error_code ignored;
        std::filesystem::create_directories(parent, ignored);
        fd.Reset(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    if (!fd.Valid()) {
        throw EStreamError("Cannot create folder " + path);
    }
    return fd;
}

} // namespace

bool IsPlantedLink(const struct stat& folder, const struct stat& link)
{
    const bool stickyAndShared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
    return stickyAndShared && link.st_uid != ::geteuid() && link.st_uid != folder.st_uid;
}

Descriptor OpenFolderForWriting(const std::string& path)
{
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') {
        trimmed.pop_back();
    }
    const auto slash = trimmed.rfind('/');
    if (trimmed.empty() || trimmed == "/") {
        Descriptor fd(::open(trimmed.empty() ? "." : "/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!fd.Valid()) {
            throw EStreamError("Cannot create folder " + path);
        }
        return fd;
    }
    const std::string parent = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? std::string("/")
                                                          : trimmed.substr(0, slash);
    const std::string name = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
    const Descriptor folder(OpenParent(parent, path));

    for (int lookup = 0; lookup < kLookups; ++lookup) {
        Descriptor fd(::openat(folder.Get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (fd.Valid()) {
            return fd;
        }
        if (errno == ENOENT) {
            if (::mkdirat(folder.Get(), name.c_str(), 0777) != 0 && errno != EEXIST) {
                break;
            }
            continue;
        }
        struct stat link { };
        if ((errno != ELOOP && errno != ENOTDIR) ||
            ::fstatat(folder.Get(), name.c_str(), &link, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) {
                continue;
            }
            break;
        }
        if (!S_ISLNK(link.st_mode)) {
            break;
        }
        struct stat parentInfo { };
        if (::fstat(folder.Get(), &parentInfo) != 0) {
            break;
        }
        if (IsPlantedLink(parentInfo, link)) {
            throw EStreamError("Cannot write into folder " + path + ": " + kPlantedLinkReason);
        }
        Descriptor followed(::openat(folder.Get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!followed.Valid()) {
            break;
        }
        // The link followed must be the one checked: whoever may replace it in a sticky
        // folder is allowed anyway, elsewhere a link replaced meanwhile is looked at anew.
        struct stat again { };
        if (::fstatat(folder.Get(), name.c_str(), &again, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(again, link) &&
            again.st_uid == link.st_uid) {
            return followed;
        }
    }
    throw EStreamError("Cannot create folder " + path);
}

} // namespace glyphtint::io
