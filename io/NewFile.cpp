// PublishNewFile: a new file written unnamed or hidden, then named with linkat or renameat.
#include "io/NewFile.h"

#include "io/Descriptor.h"

#include <cerrno>
#include <random>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace glyphtint::io {
namespace {

// How often a name already taken is tried again: another temporary name, or the
// published name once the file at it is removed.
constexpr int kNameAttempts = 100;
constexpr int kRemovals = 3;

// A hidden name beside the file, in its folder, that is not likely to exist.
std::string TemporaryName(const std::string& name)
{
    thread_local std::mt19937_64 random{std::random_device{}()};
    return "." + name + "." + std::to_string(random() % 1000000000u) + ".tmp";
}

std::string SelfPath(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}

// How naming a file went.
enum class Naming { Done, Failed, NoProc };

// The file being written: unnamed, or under a hidden temporary name that is removed
// unless the file was published.
class PendingFile {
public:
    PendingFile(int folder, const std::string& name) : folder_(folder), name_(name) { }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile()
    {
        if (!temporary_.empty()) {
            ::unlinkat(folder_, temporary_.c_str(), 0);
        }
    }

    // Opens the file with mode 0666 less the umask: unnamed where the file system has
    // O_TMPFILE and unnamed is asked for, else under a temporary name that O_EXCL keeps
    // from being a link. False when the folder refuses new files.
    bool Open(bool unnamed)
    {
        if (unnamed) {
            fd_.Reset(::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
            // Kernels and file systems without O_TMPFILE say so with these.
            if (fd_.Valid() || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) {
                return fd_.Valid();
            }
        }
        for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
            std::string temporary = TemporaryName(name_);
            fd_.Reset(::openat(folder_, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
            if (fd_.Valid()) {
                temporary_ = std::move(temporary);
                return true;
            }
            if (errno != EEXIST) {
                return false;
            }
        }
        return false;
    }

    int Get() const { return fd_.Get(); }

    // Names the complete file. An unnamed one is linked through its /proc entry: linkat
    // never follows a link at the new name and fails when the name exists, which keepName
    // then replaces by a rename from a temporary name, and otherwise removes first.
    Naming Publish(const SaveCalls& calls, bool keepName)
    {
        if (!temporary_.empty()) {
            return Rename(calls);
        }
        int error = Link(calls, name_);
        if (keepName) {
            for (int attempt = 0; error == EEXIST && attempt < kNameAttempts; ++attempt) {
                std::string temporary = TemporaryName(name_);
                error = Link(calls, temporary);
                if (error == 0) {
                    temporary_ = std::move(temporary);
                    return Rename(calls);
                }
            }
        } else {
            for (int removal = 0; error == EEXIST && removal < kRemovals; ++removal) {
                if (::unlinkat(folder_, name_.c_str(), 0) != 0 && errno != ENOENT) {
                    return Naming::Failed;
                }
                error = Link(calls, name_);
            }
        }
        if (error != 0) {
            return error == ENOENT ? Naming::NoProc : Naming::Failed;
        }
        // The name leads to the file already: a late write error takes the name back.
        if (!fd_.Close()) {
            closeFailed_ = true;
            ::unlinkat(folder_, name_.c_str(), 0);
            return Naming::Failed;
        }
        return Naming::Done;
    }

    // Whether the last failure was a close that reported a late write error.
    bool CloseFailed() const { return closeFailed_; }

private:
    // 0 when the unnamed file now has the name to, else why not (errno).
    int Link(const SaveCalls& calls, const std::string& to) const
    {
        const std::string self = SelfPath(fd_.Get());
        return calls.linkat(AT_FDCWD, self.c_str(), folder_, to.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
    }

    // Moves the temporary name over the name, replacing what is there (a link too)
    // without following it. A sticky folder refuses this over another user's file.
    Naming Rename(const SaveCalls& calls)
    {
        closeFailed_ = !fd_.Close();
        if (closeFailed_ || calls.renameat(folder_, temporary_.c_str(), folder_, name_.c_str()) != 0) {
            return Naming::Failed;
        }
        temporary_.clear();
        return Naming::Done;
    }

    int folder_;
    const std::string& name_;
    Descriptor fd_;
    std::string temporary_;
    bool closeFailed_ = false;
};

} // namespace

bool WriteAllAt(const SaveCalls& calls, int fd, std::string_view bytes, off_t position)
{
    while (!bytes.empty()) {
        const ssize_t written = calls.pwrite(fd, bytes.data(), bytes.size(), position);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
        position += written;
    }
    return true;
}

Published PublishNewFile(int folder, const std::string& name, std::string_view bytes, const PublishOptions& options)
{
    // Without /proc an unnamed file cannot be named: it is written again, named.
    for (const bool unnamed : {true, false}) {
        PendingFile file(folder, name);
        if (!file.Open(unnamed) || (options.prepare && !options.prepare(file.Get()))) {
            return Published::Refused;
        }
        if (!WriteAllAt(options.calls, file.Get(), bytes, 0) ||
            (options.sync && options.calls.fsync(file.Get()) != 0)) {
            return Published::WriteFailed;
        }
        switch (file.Publish(options.calls, options.keepName)) {
        case Naming::NoProc: continue;
        case Naming::Failed: return file.CloseFailed() ? Published::WriteFailed : Published::Refused;
        case Naming::Done:
            if (options.sync) {
                // Makes the new name durable; a folder that cannot be synced is left as it is.
                options.calls.fsync(folder);
            }
            return Published::Yes;
        }
    }
    return Published::Refused;
}

} // namespace glyphtint::io
