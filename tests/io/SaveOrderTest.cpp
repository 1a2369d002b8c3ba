// The order of a save's system calls: a file's bytes are on the disk before a name leads
// to them, and the folder is synced once the name is switched. A crash in between
// otherwise leaves an empty or torn picture under the name, which no other test sees.
#include "io/FileReplacement.h"

#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using glyphtint::io::FileReplacement;
using glyphtint::io::SaveCalls;

namespace {

// What the recording calls saw, in order; a test runs one save at a time.
std::vector<std::string> seen;
bool fileSyncFails = false;

ssize_t RecordWrite(int fd, const void* bytes, std::size_t count, off_t position)
{
    seen.push_back("write");
    return ::pwrite(fd, bytes, count, position);
}

int RecordTruncate(int fd, off_t length)
{
    seen.push_back("truncate");
    return ::ftruncate(fd, length);
}

int RecordSync(int fd)
{
    struct stat info { };
    const bool folder = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
    seen.push_back(folder ? "sync folder" : "sync file");
    if (!folder && fileSyncFails) {
        errno = EIO;
        return -1;
    }
    return ::fsync(fd);
}

int RecordLink(int fromFolder, const char* from, int toFolder, const char* to, int flags)
{
    seen.push_back("name");
    return ::linkat(fromFolder, from, toFolder, to, flags);
}

int RecordRename(int fromFolder, const char* from, int toFolder, const char* to)
{
    seen.push_back("name");
    return ::renameat(fromFolder, from, toFolder, to);
}

constexpr SaveCalls kRecording{RecordWrite, RecordTruncate, RecordSync, RecordLink, RecordRename};

std::string Read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Joined(const std::vector<std::string>& calls)
{
    std::string joined;
    for (const std::string& call : calls) {
        joined += (joined.empty() ? "" : ", ") + call;
    }
    return joined;
}

// Where the first and last of a kind of call stand in the record; -1 when none.
long First(const std::string& call)
{
    const auto found = std::find(seen.begin(), seen.end(), call);
    return found == seen.end() ? -1 : found - seen.begin();
}

long Last(const std::string& call)
{
    const auto found = std::find(seen.rbegin(), seen.rend(), call);
    return found == seen.rend() ? -1 : seen.rend() - found - 1;
}

enum class Kind { NewFile, Replaced, RewrittenInPlace };

struct SaveCase {
    const char* name;
    Kind kind;
};

void PrintTo(const SaveCase& c, std::ostream* out)
{
    *out << c.name;
}

class SaveOrder : public ::testing::TestWithParam<SaveCase> {
protected:
    void SetUp() override
    {
        seen.clear();
        fileSyncFails = false;
        if (GetParam().kind != Kind::NewFile) {
            std::ofstream(target_, std::ios::binary) << kOld;
        }
        // A second name keeps the file one inode: it is rewritten where it is.
        if (GetParam().kind == Kind::RewrittenInPlace) {
            fs::create_hard_link(target_, scratch_ / "other-name.jpg");
        }
    }
    void TearDown() override { fileSyncFails = false; }

    const std::string kOld = "the old picture, longer than the new";
    const std::string kNew = "the new picture";
    glyphtint::test::ScratchFolder scratch_{"save-order"};
    fs::path target_ = scratch_ / "picture.jpg";
};

} // namespace

TEST_P(SaveOrder, BytesReachTheDiskBeforeTheNameAndTheFolderAfter)
{
    FileReplacement(target_.string(), kRecording).Commit(kNew);
    ASSERT_EQ(Read(target_), kNew);
    const std::string calls = Joined(seen);

    const long synced = First("sync file");
    ASSERT_NE(synced, -1) << calls;
    EXPECT_GT(synced, Last("write")) << calls;
    EXPECT_GT(synced, Last("truncate")) << calls;
    if (GetParam().kind == Kind::RewrittenInPlace) {
        EXPECT_EQ(First("name"), -1) << calls;
        return;
    }
    ASSERT_NE(First("name"), -1) << calls;
    EXPECT_LT(synced, First("name")) << "a name led to bytes not yet on the disk: " << calls;
    EXPECT_GT(Last("sync folder"), Last("name")) << "the new name was not made durable: " << calls;
}

// A sync that fails is a save that failed: the name still leads to what it held.
TEST_P(SaveOrder, AFailedSyncFailsTheSave)
{
    fileSyncFails = true;
    EXPECT_THROW(FileReplacement(target_.string(), kRecording).Commit(kNew), EWriteError) << Joined(seen);
    EXPECT_EQ(First("name"), -1) << Joined(seen);
    if (GetParam().kind == Kind::NewFile) {
        EXPECT_FALSE(fs::exists(target_));
    } else if (GetParam().kind == Kind::Replaced) {
        EXPECT_EQ(Read(target_), kOld);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch_.Path()), {}),
              GetParam().kind == Kind::NewFile ? 0 : (GetParam().kind == Kind::Replaced ? 1 : 2))
        << "no temporary file is left behind";
}

INSTANTIATE_TEST_SUITE_P(, SaveOrder,
                         ::testing::Values(SaveCase{"NewFile", Kind::NewFile}, SaveCase{"ReplacedFile", Kind::Replaced},
                                           SaveCase{"RewrittenInPlace", Kind::RewrittenInPlace}),
                         [](const auto& info) { return std::string(info.param.name); });
