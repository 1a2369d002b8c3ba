// The batch's folder on a shared machine: a link another user planted is not followed,
// two batches never share a folder, and a batch killed at any point leaves whole files
// and whole report lines.
#include "tests/support/ChildProcess.h"
#include "tests/support/FileBytes.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TestArchives.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <set>

using namespace glyphtint::test;

namespace {

class BatchFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteZip(scratch_ / "glyphs.gfx", {{"a.jpg", MakeGlyphJpeg(10, 16, 1)}, {"b.jpg", MakeGlyphJpeg(12, 16, 2)}});
    }
    std::vector<std::string> Batch(const std::string& folder) const
    {
        return {"--archive", (scratch_ / "glyphs.gfx").string(), "--batch", folder};
    }
    // Each text's picture, as a batch of its own into a folder of its own draws it.
    std::map<std::string, std::string> Pictures(const std::vector<std::string>& texts) const
    {
        std::string input;
        for (const std::string& text : texts) {
            input += text + "\n";
        }
        const std::string folder = (scratch_ / "reference").string();
        EXPECT_EQ(RunProgram("glyphtint-render", Batch(folder), input).exitCode, 0);
        std::map<std::string, std::string> pictures;
        for (std::size_t i = 0; i < texts.size(); ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "/%06zu.png", i + 1);
            pictures[texts[i]] = ReadFileBytes(folder + name);
        }
        return pictures;
    }

    ScratchFolder scratch_{"batch-folder"};
};

std::vector<std::string> NamesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// The line number and the file of each report line; a line that is not whole fails. Read
// by hand: std::regex recurses once a character and overflows the stack on long lines.
std::vector<std::pair<std::size_t, std::string>> ReportedFiles(const std::string& report)
{
    static constexpr std::string_view kLine = "{\"line\": ";
    static constexpr std::string_view kFile = "\"file\": \"";
    static constexpr std::string_view kError = "\"error\": \"";
    static constexpr std::string_view kMembers[] = {
        "\"bytes\": ", "\"visible\": ", "\"not_drawn\": ", "\"text\": \"", "\"described\": \"", "\"runs\": ["};
    std::vector<std::pair<std::size_t, std::string>> files;
    std::size_t start = 0;
    for (std::size_t end = report.find('\n'); end != std::string::npos; end = report.find('\n', start)) {
        const std::string text = report.substr(start, end - start);
        start = end + 1;
        std::string_view rest = text;
        std::size_t number = 0;
        const char* digits = rest.data() + kLine.size();
        const auto [after, error] = rest.starts_with(kLine)
                                        ? std::from_chars(digits, rest.data() + rest.size(), number)
                                        : std::from_chars_result{digits, std::errc::invalid_argument};
        if (error != std::errc() || !std::string_view(after, rest.data() + rest.size()).starts_with(", ")) {
            ADD_FAILURE() << "no line number: " << text.substr(0, 200);
            continue;
        }
        rest = std::string_view(after + 2, rest.data() + rest.size());
        std::string file;
        bool whole = false;
        if (rest.starts_with(kFile)) {
            rest.remove_prefix(kFile.size());
            file = std::string(rest.substr(0, rest.find('"')));
            whole = rest.ends_with("]}") && std::ranges::all_of(kMembers, [&](std::string_view member) {
                        return rest.find(member) != std::string_view::npos;
                    });
        } else {
            whole = rest.starts_with(kError) && rest.ends_with("\"}");
        }
        EXPECT_TRUE(whole) << text.substr(0, 200);
        files.emplace_back(number, file);
    }
    EXPECT_EQ(start, report.size()) << "a report line ends without its line end";
    return files;
}

} // namespace

TEST_F(BatchFolder, ALinkAnotherUserPlantedInAStickyFolderIsNotFollowed)
{
    const passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() != 0 || nobody == nullptr) {
        GTEST_SKIP() << "needs root and the user nobody to plant a link as another user";
    }
    ASSERT_EQ(::chmod(scratch_.Path().c_str(), 0711), 0);
    const std::string sticky = (scratch_ / "sticky").string();
    const std::string mine = (scratch_ / "mine").string();
    std::filesystem::create_directory(sticky);
    std::filesystem::create_directory(mine);
    ASSERT_EQ(::chmod(sticky.c_str(), 01777), 0);
    std::ofstream(mine + "/000001.png") << "mine";
    const pid_t planter = ::fork();
    if (planter == 0) {
        const bool planted = ::setgroups(0, nullptr) == 0 && ::setgid(nobody->pw_gid) == 0 &&
                             ::setuid(nobody->pw_uid) == 0 && ::symlink(mine.c_str(), (sticky + "/out").c_str()) == 0;
        ::_exit(planted ? 0 : 1);
    }
    ASSERT_EQ(WaitForExit(planter), 0);
    ASSERT_EQ(::symlink(mine.c_str(), (sticky + "/own").c_str()), 0);

    ProgramRun run = RunProgram("glyphtint-render", Batch(sticky + "/out"), "a\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Cannot write into folder " + sticky +
                           "/out: the symlink belongs to another user and lies in a sticky folder that anyone may "
                           "write to, so it is not followed.\n");
    EXPECT_EQ(ReadFileBytes(mine + "/000001.png"), "mine");

    // A link of one's own there leads where it says.
    run = RunProgram("glyphtint-render", Batch(sticky + "/own"), "a\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(mine + "/000001.png"), Pictures({"a"}).at("a"));
}

// Both batches wait for more input until each has either reported every line or ended,
// so their lives overlap whichever starts first: exactly one has the folder.
TEST_F(BatchFolder, ASecondBatchIntoTheSameFolderIsTurnedAway)
{
    const std::vector<std::vector<std::string>> texts = {{"a", "aa", "aaa", "aaaa"}, {"b", "bb", "bbb", "bbbb"}};
    std::map<std::string, std::string> pictures = Pictures(texts[0]);
    pictures.merge(Pictures(texts[1]));
    const std::string folder = (scratch_ / "shared").string();
    for (int round = 0; round < 20; ++round) {
        Pipe in[2], out[2], err[2];
        pid_t batch[2];
        for (int i = 0; i < 2; ++i) {
            batch[i] = StartProgram("glyphtint-render", Batch(folder), [&, i] {
                ::dup2(in[i].Read(), 0);
                ::dup2(out[i].Write(), 1);
                ::dup2(err[i].Write(), 2);
            });
            in[i].CloseRead();
            out[i].CloseWrite();
            err[i].CloseWrite();
            std::string lines;
            for (const std::string& text : texts[i]) {
                lines += text + "\n";
            }
            ASSERT_TRUE(WriteAll(in[i].Write(), lines));
        }
        std::string report[2];
        bool settled[2] = {false, false};
        while (!settled[0] || !settled[1]) {
            pollfd fds[2] = {{out[0].Read(), POLLIN, 0}, {out[1].Read(), POLLIN, 0}};
            ASSERT_GT(::poll(fds, 2, -1), 0);
            for (int i = 0; i < 2; ++i) {
                char chunk[4096];
                if (settled[i] || fds[i].revents == 0) {
                    continue;
                }
                const ssize_t got = ::read(out[i].Read(), chunk, sizeof chunk);
                report[i].append(chunk, got > 0 ? static_cast<std::size_t>(got) : 0);
                settled[i] = got <= 0 || std::count(report[i].begin(), report[i].end(), '\n') == 4;
            }
        }
        int status[2];
        for (int i = 0; i < 2; ++i) {
            in[i].CloseWrite();
            report[i] += ReadToEnd(out[i].Read());
            status[i] = WaitForExit(batch[i]);
        }
        const int winner = status[0] == 0 ? 0 : 1;
        const int loser = 1 - winner;
        ASSERT_EQ(status[winner], 0) << "round " << round;
        EXPECT_EQ(status[loser], 1) << "round " << round;
        EXPECT_EQ(report[loser], "") << "round " << round;
        EXPECT_EQ(ReadToEnd(err[loser].Read()), "Folder " + folder + " is in use by another batch.\n");
        const auto files = ReportedFiles(report[winner]);
        ASSERT_EQ(files.size(), 4u) << report[winner];
        for (const auto& [line, file] : files) {
            EXPECT_EQ(ReadFileBytes(file), pictures.at(texts[winner][line - 1])) << "round " << round << ": " << file;
        }
    }
}

// Killed at random points, a batch leaves no temporary file; each report line is whole
// and names a file that holds its own picture, and every picture in the folder is whole.
// Lines past 8 KiB make report lines longer than a stream's buffer.
TEST_F(BatchFolder, AKilledBatchLeavesWholeFilesAndWholeLines)
{
    std::vector<std::string> texts;
    for (int i = 1; i <= 24; ++i) {
        texts.push_back(std::string(i % 12 == 0 ? 8300 + i : i, 'a') + std::string(i % 5, 'b'));
    }
    const std::map<std::string, std::string> pictures = Pictures(texts);
    std::set<std::string> whole;
    for (const auto& [text, picture] : pictures) {
        whole.insert(picture);
    }
    const std::string folder = (scratch_ / "killed").string();
    std::mt19937 random(20);
#if defined(__SANITIZE_ADDRESS__)
    // Each round starts an instrumented program: fewer rounds keep the test in its time.
    constexpr int kRounds = 8;
#else
    constexpr int kRounds = 24;
#endif
    for (int round = 0; round < kRounds; ++round) {
        // Each round numbers the texts anew, so that the files of the last round are replaced.
        std::rotate(texts.begin(), texts.begin() + 5, texts.end());
        std::ofstream input(scratch_ / "input", std::ios::trunc);
        for (const std::string& text : texts) {
            input << text << "\n";
        }
        input.close();
        Pipe out;
        const std::string inputPath = (scratch_ / "input").string();
        const pid_t batch = StartProgram("glyphtint-render", Batch(folder), [&] {
            const int in = ::open(inputPath.c_str(), O_RDONLY);
            ::dup2(in, 0);
            ::dup2(out.Write(), 1);
            ::close(2);
        });
        out.CloseWrite();
        // Killed once the report has come this far, somewhere in the work that follows.
        const std::size_t killAfter = random() % 24000;
        std::string report;
        char chunk[512];
        ssize_t got = 0;
        while (report.size() < killAfter && (got = ::read(out.Read(), chunk, sizeof chunk)) > 0) {
            report.append(chunk, static_cast<std::size_t>(got));
        }
        ::kill(batch, SIGKILL);
        report += ReadToEnd(out.Read());
        WaitForExit(batch);

        for (const auto& [line, file] : ReportedFiles(report)) {
            EXPECT_EQ(ReadFileBytes(file), pictures.at(texts[line - 1])) << "round " << round << ": " << file;
        }
        for (const std::string& name : NamesIn(folder)) {
            if (name != ".glyphtint-batch.lock") {
                EXPECT_TRUE(std::regex_match(name, std::regex(R"(\d{6}\.png)"))) << "round " << round << ": " << name;
                EXPECT_EQ(whole.count(ReadFileBytes(folder + "/" + name)), 1u) << "round " << round << ": " << name;
            }
        }
    }
}
