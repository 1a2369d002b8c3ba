// Saving over files: the saved file keeps its identity, links and permissions, and a
// save that cannot be done leaves everything as it was.
#include "io/FileReplacement.h"
#include "io/FileStream.h"

#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <optional>
#include <thread>

namespace fs = std::filesystem;
using glyphtint::io::FileReplacement;
using glyphtint::io::FileStream;

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

// Starts body in a child process switched to the user uid and group gid; the child's
// exit status is what body returns, 1 when it throws, 77 when it cannot switch.
pid_t StartAsUser(uid_t uid, gid_t gid, const std::function<int()>& body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(gid, gid, gid) != 0 || ::setresuid(uid, uid, uid) != 0) {
            ::_exit(77);
        }
        int code = 1;
        try {
            code = body();
        } catch (...) {
        }
        ::_exit(code);
    }
    return child;
}

// The exit status of a child, or -1 when it did not exit by itself.
int ExitStatusOf(pid_t child)
{
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
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

// A file rewritten in place (here: one with a second name) is written only under a
// write lock, so two saves never write into each other; a reader of the file, such as
// a program reading its glyph pack, delays the rewrite too.
TEST_F(SavedFile, RewriteInPlaceWaitsForAnotherWriterOrReader)
{
    const fs::path target = folder_ / "picture.jpg";
    Write(target, kOld);
    fs::create_hard_link(target, folder_ / "other-name.jpg");
    for (const uint16_t holderMode : {2, 0}) {
        Write(target, kOld);
        std::optional<FileStream> holder = FileStream::Open(target.string(), holderMode);
        bool saved = false;
        std::thread saver([&] {
            try {
                Save(target, kNew);
                saved = true;
            } catch (...) {
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(Read(target), kOld) << "written while another opener held the file, mode " << holderMode;
        holder.reset();
        saver.join();
        EXPECT_TRUE(saved);
        EXPECT_EQ(Read(target), kNew);
    }
}

// A save to a new name in a sticky folder, such as /tmp, while another user plants,
// flips and removes a link at that name leading to a file of the saver: whatever the
// interleaving, each save writes a regular file of that name or fails, and the file the
// link leads to is never written.
TEST_F(SavedFile, LinkPlantedDuringASaveIsNeverFollowed)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as two users";
    }
    // getpwnam returns the one static entry of each call: each is copied at once.
    const passwd* entry = ::getpwnam("nobody");
    const std::optional<std::pair<uid_t, gid_t>> other =
        entry != nullptr ? std::optional(std::pair(entry->pw_uid, entry->pw_gid)) : std::nullopt;
    entry = ::getpwnam("daemon");
    const std::optional<std::pair<uid_t, gid_t>> saver =
        entry != nullptr ? std::optional(std::pair(entry->pw_uid, entry->pw_gid)) : std::nullopt;
    if (!other || !saver) {
        GTEST_SKIP() << "needs the users nobody and daemon";
    }
    ASSERT_EQ(::chmod(folder_.c_str(), 0755), 0);
    const fs::path home = folder_ / "home";
    fs::create_directory(home);
    const fs::path victim = home / "victim.txt";
    Write(victim, kOld);
    ASSERT_EQ(::chown(home.c_str(), saver->first, saver->second), 0);
    ASSERT_EQ(::chown(victim.c_str(), saver->first, saver->second), 0);
    const fs::path sticky = folder_ / "sticky";
    fs::create_directory(sticky);
    ASSERT_EQ(::chmod(sticky.c_str(), 01777), 0);
    const fs::path name = sticky / "picture.jpg";
    const fs::path flip = sticky / "flip";

    // How many links the other user has planted so far, shared by both processes.
    void* shared =
        ::mmap(nullptr, sizeof(std::atomic<long>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(shared, MAP_FAILED);
    auto* planted = new (shared) std::atomic<long>(0);
    const pid_t attacker = StartAsUser(other->first, other->second, [&] {
        for (;;) {
            if (::symlink(victim.c_str(), name.c_str()) == 0) {
                ++*planted;
            }
            for (int i = 0; i < 3; ++i) {
                if (::symlink(victim.c_str(), flip.c_str()) == 0) {
                    ::rename(flip.c_str(), name.c_str());
                }
            }
            ::unlink(name.c_str());
            // The name stays free for a while too.
            for (int i = 0; i < 20; ++i) {
                ::access(victim.c_str(), R_OK);
            }
        }
        return 0;
    });
    constexpr int kRounds = 300;
    int counts[2] = {};
    std::array<int, 2> pipe{};
    ASSERT_EQ(::pipe(pipe.data()), 0);
    const pid_t saving = StartAsUser(saver->first, saver->second, [&] {
        int& written = counts[0];
        int& caught = counts[1];
        int wrong = 0;
        for (int round = 0; round < kRounds; ++round) {
            // The file of the round before: the other user's link cannot be removed here.
            ::unlink(name.c_str());
            const std::string picture = "picture " + std::to_string(round);
            try {
                // The save starts while the name is free, as a save to a new name does;
                // in every other round the other user plants a link before the bytes
                // are written, as may happen while a picture is encoded.
                std::optional<FileReplacement> replacement;
                for (int attempt = 0; attempt < 100000 && !replacement; ++attempt) {
                    try {
                        replacement.emplace(name.string());
                    } catch (const EFCreateError&) {
                        ::sched_yield();
                    }
                }
                const long plantedBefore = *planted;
                for (int attempt = 0; round % 2 == 1 && attempt < 100000 && *planted == plantedBefore; ++attempt) {
                    ::sched_yield();
                }
                if (replacement) {
                    replacement->Commit(picture);
                    struct stat info { };
                    const bool regular = ::lstat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode);
                    wrong += regular && Read(name) == picture ? 0 : 1;
                    ++written;
                }
            } catch (const EFCreateError&) {
            }
            if (Read(victim) != kOld) {
                ++caught;
                Write(victim, kOld);
            }
        }
        const bool reported = ::write(pipe[1], counts, sizeof counts) == sizeof counts;
        return reported && wrong == 0 ? 0 : 1;
    });
    ::close(pipe[1]);
    const bool reported = ::read(pipe[0], counts, sizeof counts) == sizeof counts;
    ::close(pipe[0]);
    const int saved = ExitStatusOf(saving);
    ::kill(attacker, SIGKILL);
    ExitStatusOf(attacker);
    if (saved == 77) {
        GTEST_SKIP() << "cannot switch users";
    }
    EXPECT_TRUE(reported);
    EXPECT_EQ(saved, 0) << "a save raised something else than EFCreateError, or its file is not the picture";
    EXPECT_EQ(counts[1], 0) << "rounds that wrote the file behind the link; " << counts[0] << " saves written";
    EXPECT_EQ(Read(victim), kOld);
    std::cout << "saves written: " << counts[0] << " of " << kRounds << " rounds\n";
}
