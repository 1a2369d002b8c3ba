// A new file published into a held folder: whichever way it is named (linked, renamed
// from a temporary name, written again where /proc is missing), the name leads to the
// whole new bytes and nothing else is left; a failure leaves the old file alone. And the
// descriptor that holds folders and files, moved, still closes once.
#include "io/Descriptor.h"
#include "io/FileReplacement.h"
#include "io/NewFile.h"

#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using glyphtint::io::Descriptor;
using glyphtint::io::Published;
using glyphtint::io::PublishNewFile;
using glyphtint::io::PublishOptions;
using glyphtint::test::ScratchFolder;

namespace {

// linkat as on a system without /proc mounted: an unnamed file has no path to link.
int LinkWithoutProc(int fromFolder, const char* from, int toFolder, const char* to, int flags)
{
    if (std::string_view(from).starts_with("/proc/")) {
        errno = ENOENT;
        return -1;
    }
    return ::linkat(fromFolder, from, toFolder, to, flags);
}

ssize_t DiskFull(int, const void*, std::size_t, off_t)
{
    errno = ENOSPC;
    return -1;
}

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool IsOpen(int fd)
{
    return ::fcntl(fd, F_GETFD) != -1;
}

const std::vector<std::string> kOnlyThePicture = {"picture.png"};

} // namespace

TEST(PublishNewFile, TheNameLeadsToTheWholeNewFileAndNothingElseIsLeft)
{
    const mode_t mask = ::umask(022);
    for (const bool keepName : {true, false}) {
        for (const bool proc : {true, false}) {
            for (const bool existing : {true, false}) {
                SCOPED_TRACE(std::string(keepName ? "keeping the name" : "removing first") +
                             (proc ? ", with /proc" : ", without /proc") + (existing ? ", over a file" : ", new"));
                const ScratchFolder scratch("publish");
                if (existing) {
                    std::ofstream(scratch / "picture.png") << "the old picture";
                }
                const Descriptor folder(::open(scratch.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
                PublishOptions options;
                options.keepName = keepName;
                if (!proc) {
                    options.calls.linkat = LinkWithoutProc;
                }
                EXPECT_EQ(PublishNewFile(folder.Get(), "picture.png", "the new picture", options), Published::Yes);
                EXPECT_EQ(Read((scratch / "picture.png").string()), "the new picture");
                EXPECT_EQ(scratch.Names(), kOnlyThePicture);
                struct stat info { };
                EXPECT_EQ(::stat((scratch / "picture.png").c_str(), &info), 0);
                EXPECT_EQ(info.st_mode & 07777, 0644u);
            }
        }
    }
    // A save of a new file went this way too, and failed without /proc.
    const ScratchFolder scratch("publish");
    glyphtint::io::SaveCalls calls;
    calls.linkat = LinkWithoutProc;
    glyphtint::io::FileReplacement((scratch / "picture.png").string(), calls).Commit("the new picture");
    EXPECT_EQ(Read((scratch / "picture.png").string()), "the new picture");
    EXPECT_EQ(scratch.Names(), kOnlyThePicture);
    ::umask(mask);
}

TEST(PublishNewFile, AFailedWriteOrARefusedPreparationLeavesTheOldFileAlone)
{
    for (const bool keepName : {true, false}) {
        for (const bool writeFails : {true, false}) {
            SCOPED_TRACE(std::string(keepName ? "keeping the name" : "removing first") +
                         (writeFails ? ", disk full" : ", refused"));
            const ScratchFolder scratch("publish");
            std::ofstream(scratch / "picture.png") << "the old picture";
            const Descriptor folder(::open(scratch.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            PublishOptions options;
            options.keepName = keepName;
            if (writeFails) {
                options.calls.pwrite = DiskFull;
            } else {
                options.prepare = [](int) { return false; };
            }
            EXPECT_EQ(PublishNewFile(folder.Get(), "picture.png", "the new picture", options),
                      writeFails ? Published::WriteFailed : Published::Refused);
            EXPECT_EQ(Read((scratch / "picture.png").string()), "the old picture");
            EXPECT_EQ(scratch.Names(), kOnlyThePicture);
        }
    }
}

TEST(Descriptor, ClosesOnceWhereverItIsMoved)
{
    Descriptor first(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    const int fd = first.Get();
    Descriptor moved(std::move(first));
    EXPECT_FALSE(first.Valid());
    EXPECT_EQ(moved.Get(), fd);

    Descriptor other(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    const int replaced = other.Get();
    other = std::move(moved);
    EXPECT_FALSE(IsOpen(replaced)) << "the descriptor moved over is closed";
    EXPECT_EQ(other.Get(), fd);
    Descriptor& same = other;
    other = std::move(same);
    EXPECT_TRUE(IsOpen(fd)) << "moved onto itself, it stays open";
    {
        const Descriptor last(std::move(other));
    }
    EXPECT_FALSE(IsOpen(fd));
}
