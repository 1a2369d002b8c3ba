// Saving over files: the saved file keeps its identity, links and permissions, and a
// save that cannot be done leaves everything as it was.
#include "io/FileReplacement.h"

#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <thread>

namespace fs = std::filesystem;
using glyphtint::io::FileReplacement;

namespace {

const std::string kOld = "the old contents, longer than the new";
const std::string kNew = "new contents";

std::string Read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

struct stat Stat(const fs::path& path)
{
    struct stat info { };
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info;
}

void Save(const fs::path& path, const std::string& bytes)
{
    FileReplacement(path.string()).Commit(bytes);
}

bool SaveRefused(const fs::path& path)
{
    try {
        Save(path, kNew);
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + path.string());
        return true;
    }
    return false;
}

class SavedFile : public ::testing::Test {
protected:
    std::vector<std::string> Names() const { return scratch_.Names(); }

    glyphtint::test::ScratchFolder scratch_{"replace"};
    fs::path folder_ = scratch_.Path();
};

// Runs check as an unprivileged user: in a child process switched to "nobody" when the
// tests run as root, else in this process. Empty when no such user can be had.
std::optional<bool> AsUnprivilegedUser(const std::function<bool()>& check)
{
    if (::geteuid() != 0) {
        return check();
    }
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr) {
        return std::nullopt;
    }
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) {
            ::_exit(77);
        }
        bool passed = false;
        try {
            passed = check();
        } catch (...) {
        }
        ::_exit(passed ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == 77) {
        return std::nullopt;
    }
    return WEXITSTATUS(status) == 0;
}

} // namespace

TEST_F(SavedFile, NewFileAppearsOnlyWhenComplete)
{
    const fs::path target = folder_ / "new.jpg";
    FileReplacement replacement(target.string());
    EXPECT_TRUE(Names().empty()) << "nothing is named before the bytes are written";
    const mode_t mask = ::umask(022);
    replacement.Commit(kNew);
    ::umask(mask);
    EXPECT_EQ(Read(target), kNew);
    EXPECT_EQ(Stat(target).st_mode & 07777, 0644u);
    EXPECT_EQ(Names(), std::vector<std::string>{"new.jpg"});
}

TEST_F(SavedFile, ReplacedFileKeepsItsMode)
{
    for (const mode_t mode : {0666, 0640, 0600, 0604}) {
        const fs::path target = folder_ / "picture.jpg";
        Write(target, kOld);
        ASSERT_EQ(::chmod(target.c_str(), mode), 0);
        Save(target, kNew);
        EXPECT_EQ(Read(target), kNew);
        EXPECT_EQ(Stat(target).st_mode & 07777, mode) << std::oct << mode;
        EXPECT_EQ(Names(), std::vector<std::string>{"picture.jpg"});
        fs::remove(target);
    }
}

TEST_F(SavedFile, HardLinkedFileStaysOneFile)
{
    const fs::path target = folder_ / "picture.jpg";
    const fs::path other = folder_ / "other-name.jpg";
    Write(target, kOld);
    fs::create_hard_link(target, other);
    const ino_t inode = Stat(target).st_ino;

    Save(target, kNew);
    EXPECT_EQ(Read(target), kNew);
    EXPECT_EQ(Read(other), kNew);
    EXPECT_EQ(Stat(target).st_ino, inode);
    EXPECT_EQ(Stat(target).st_nlink, 2u);
}

TEST_F(SavedFile, SymlinksLeadToTheFileTheyName)
{
    fs::create_directory(folder_ / "real");
    const fs::path target = folder_ / "real" / "picture.jpg";
    Write(target, kOld);
    fs::create_symlink(target, folder_ / "first");
    fs::create_symlink("first", folder_ / "second");

    Save(folder_ / "second", kNew);
    EXPECT_EQ(Read(target), kNew);
    EXPECT_TRUE(fs::is_symlink(folder_ / "first"));
    EXPECT_TRUE(fs::is_symlink(folder_ / "second"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"first", "real", "second"}));
}

TEST_F(SavedFile, UnsaveablePathsAreRefusedAndLeaveEverythingAlone)
{
    fs::create_symlink("nowhere.jpg", folder_ / "dangling");
    fs::create_symlink("loop-b", folder_ / "loop-a");
    fs::create_symlink("loop-a", folder_ / "loop-b");
    fs::create_directory(folder_ / "folder");
    Write(folder_ / "plain", kOld);
    for (const fs::path& path : {folder_ / "dangling", folder_ / "loop-a", folder_ / "folder",
                                 folder_ / "plain" / "picture.jpg", folder_ / "missing" / "picture.jpg"}) {
        EXPECT_TRUE(SaveRefused(path)) << path;
    }
    EXPECT_TRUE(fs::is_symlink(folder_ / "dangling"));
    EXPECT_EQ(Read(folder_ / "plain"), kOld);
    EXPECT_EQ(Names(), (std::vector<std::string>{"dangling", "folder", "loop-a", "loop-b", "plain"}));
}

TEST_F(SavedFile, AnotherUsersFileKeepsItsOwnerWhenRootSaves)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to own files of another user";
    }
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr) {
        GTEST_SKIP() << "no user nobody";
    }
    const fs::path target = folder_ / "picture.jpg";
    Write(target, kOld);
    ASSERT_EQ(::chown(target.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);

    Save(target, kNew);
    const struct stat info = Stat(target);
    EXPECT_EQ(Read(target), kNew);
    EXPECT_EQ(info.st_uid, nobody->pw_uid);
    EXPECT_EQ(info.st_gid, nobody->pw_gid);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

// Folders the saver may not write to: the file itself is rewritten, and a file the
// saver may not write is refused.
TEST_F(SavedFile, UnprivilegedSavesWriteInPlaceWhereTheFolderForbidsARename)
{
    const bool root = ::geteuid() == 0;
    const passwd* nobody = ::getpwnam("nobody");
    if (root && nobody == nullptr) {
        GTEST_SKIP() << "no user nobody to save as";
    }
    const uid_t saver = root ? nobody->pw_uid : ::geteuid();
    const gid_t saverGroup = root ? nobody->pw_gid : ::getegid();
    ASSERT_EQ(::chmod(folder_.c_str(), 0755), 0);

    // A read-only folder holding a file the saver owns and may write, and one it may not.
    const fs::path closed = folder_ / "closed";
    fs::create_directory(closed);
    Write(closed / "mine.jpg", kOld);
    Write(closed / "locked.jpg", kOld);
    ASSERT_EQ(::chown((closed / "mine.jpg").c_str(), saver, saverGroup), 0);
    ASSERT_EQ(::chown((closed / "locked.jpg").c_str(), saver, saverGroup), 0);
    ASSERT_EQ(::chmod((closed / "locked.jpg").c_str(), 0444), 0);
    ASSERT_EQ(::chmod(closed.c_str(), 0555), 0);
    const ino_t inode = Stat(closed / "mine.jpg").st_ino;

    // A sticky folder, like /tmp, with another user's file that anyone may write.
    const fs::path sticky = folder_ / "sticky";
    fs::create_directory(sticky);
    Write(sticky / "shared.jpg", kOld);
    ASSERT_EQ(::chmod((sticky / "shared.jpg").c_str(), 0666), 0);
    ASSERT_EQ(::chmod(sticky.c_str(), 01777), 0);

    const std::optional<bool> saved = AsUnprivilegedUser([&] {
        Save(closed / "mine.jpg", kNew);
        const bool lockedRefused = SaveRefused(closed / "locked.jpg");
        if (root) {
            Save(sticky / "shared.jpg", kNew);
        }
        return lockedRefused;
    });
    ::chmod(closed.c_str(), 0755);
    if (!saved) {
        GTEST_SKIP() << "cannot switch to the user nobody";
    }
    EXPECT_TRUE(*saved) << "a read-only file was replaced";
    EXPECT_EQ(Read(closed / "mine.jpg"), kNew);
    EXPECT_EQ(Stat(closed / "mine.jpg").st_ino, inode);
    EXPECT_EQ(Read(closed / "locked.jpg"), kOld);
    if (root) {
        EXPECT_EQ(Read(sticky / "shared.jpg"), kNew);
        EXPECT_EQ(Stat(sticky / "shared.jpg").st_uid, 0u);
    }
}

// With fs.protected_symlinks on, a shell redirect as root refuses to follow a link that
// another user planted in a sticky world-writable folder; a save refuses it too, with the
// protection on or off.
TEST_F(SavedFile, LinkPlantedByAnotherUserInAStickyFolderIsNotFollowed)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to plant a link as another user";
    }
    ASSERT_EQ(::chmod(folder_.c_str(), 0755), 0);
    const fs::path victim = folder_ / "victim.txt";
    Write(victim, kOld);
    const fs::path shared = folder_ / "shared";
    fs::create_directory(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    const fs::path link = shared / "note.txt";

    const std::optional<bool> planted =
        AsUnprivilegedUser([&] { return ::symlink(victim.c_str(), link.c_str()) == 0; });
    if (!planted) {
        GTEST_SKIP() << "cannot switch to the user nobody";
    }
    ASSERT_TRUE(*planted);

    try {
        Save(link, kNew);
        ADD_FAILURE() << "the planted link was followed";
    } catch (const EFCreateError& e) {
        EXPECT_NE(std::string(e.what()).find("sticky folder"), std::string::npos) << e.what();
    }
    EXPECT_EQ(Read(victim), kOld);
    EXPECT_TRUE(fs::is_symlink(link));
}

// A file rewritten in place (here: one with a second name) is written only under an
// exclusive lock, so two saves never write into each other.
TEST_F(SavedFile, RewriteInPlaceWaitsForAnotherWriter)
{
    const fs::path target = folder_ / "picture.jpg";
    Write(target, kOld);
    fs::create_hard_link(target, folder_ / "other-name.jpg");
    const int holder = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);

    bool saved = false;
    std::thread saver([&] {
        try {
            Save(target, kNew);
            saved = true;
        } catch (...) {
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(Read(target), kOld) << "written while another writer held the file";
    ::flock(holder, LOCK_UN);
    ::close(holder);
    saver.join();
    EXPECT_TRUE(saved);
    EXPECT_EQ(Read(target), kNew);
}
