// RenderSession: the pacer measured on a clock the test moves, so that what waits for a
// burst of keys does not depend on how fast this machine draws.
#include "app/RenderSession.h"
#include "render/GlyphNames.h"
#include "../support/TestArchives.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using glyphtint::app::RenderSession;

namespace {

// Every reading is one step after the one before: each render measures one step.
struct SteppingClock {
    std::chrono::steady_clock::time_point now{};
    std::chrono::steady_clock::duration step{};
    std::chrono::steady_clock::time_point Read() { return now += step; }
};

struct Drawn {
    std::size_t length;
    bool busy;
};

class RenderSessionTest : public ::testing::Test {
protected:
    RenderSessionTest()
    {
        std::vector<std::pair<std::string, std::string>> entries;
        for (unsigned char c : std::string("abcdem")) {
            entries.emplace_back(glyphtint::render::FullGlyphEntryName(c), glyphtint::test::MakeGlyphJpeg(4, 8));
        }
        glyphtint::test::WriteZip(folder / "pack.gfx", entries);
        session.Open((folder / "pack.gfx").string());
    }

    glyphtint::test::ScratchFolder folder;
    std::vector<std::string> reports;
    glyphtint::app::HandlerGuard guard{
        [this](const std::string& message, const std::string&) { reports.push_back(message); }};
    SteppingClock clock;
    std::vector<Drawn> drawn;
    TPicture picture;
    RenderSession session{guard, [this]() -> TPicture& { return picture; }, Hooks()};

private:
    glyphtint::app::RenderSessionHooks Hooks()
    {
        glyphtint::app::RenderSessionHooks hooks;
        hooks.ready = [this](const std::string& text) {
            const QCursor* cursor = QGuiApplication::overrideCursor();
            drawn.push_back({text.size(), cursor != nullptr && cursor->shape() == Qt::WaitCursor});
        };
        hooks.now = [this] { return clock.Read(); };
        return hooks;
    }
};

} // namespace

TEST_F(RenderSessionTest, ABurstOfKeysAfterALongTextCostsAtMostTwoRendersOnAnyMachine)
{
    // A short text at no cost, then a long one that takes half a second: 25 µs a byte.
    session.Request("m");
    clock.step = std::chrono::milliseconds(500);
    const std::string pasted(20000, 'm');
    session.Request(pasted);
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_FALSE(drawn[1].busy) << "nothing said the text would take long";

    // Five keys arrive before the window reads its events again.
    drawn.clear();
    std::string text = pasted;
    for (char key : std::string("abcde")) {
        text += key;
        session.Request(text);
    }
    EXPECT_TRUE(session.Waiting());
    QCoreApplication::processEvents();
    EXPECT_FALSE(session.Waiting());
    EXPECT_LE(drawn.size(), 2u);
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn.back().length, text.size()) << "the final text is drawn";
    for (const Drawn& render : drawn) {
        EXPECT_TRUE(render.busy) << "a render expected to take long shows the busy cursor";
    }
    EXPECT_EQ(picture.Width(), 4 * static_cast<int>(text.size()));

    // One text waits at a time, whoever asks: an empty text asked for while a long one
    // waits is what the picture shows afterwards, not the long one.
    drawn.clear();
    session.Request(text + "m");
    session.Request({});
    QCoreApplication::processEvents();
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].length, 0u);
    EXPECT_EQ(picture.Width(), 0);

    // Closing forgets a text waiting: nothing is drawn from a closed pack.
    session.Request(text);
    session.Close();
    QCoreApplication::processEvents();
    session.Flush();
    EXPECT_EQ(drawn.size(), 1u);
    EXPECT_TRUE(reports.empty()) << reports.front();
}

// A text drawn in less than a glance but more than a frame: a burst of keys still waits
// for its last key, without the busy cursor.
TEST_F(RenderSessionTest, ABurstOfKeysWaitsBehindARenderLongerThanAFrame)
{
    clock.step = std::chrono::milliseconds(100);
    std::string text(2000, 'm');
    session.Request(text);
    ASSERT_EQ(drawn.size(), 1u);
    drawn.clear();
    for (char key : std::string("abcde")) {
        text += key;
        session.Request(text);
    }
    EXPECT_TRUE(session.Waiting());
    EXPECT_TRUE(drawn.empty());
    QCoreApplication::processEvents();
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].length, text.size());
    EXPECT_FALSE(drawn[0].busy) << "a tenth of a second is no wait to show";
    EXPECT_TRUE(reports.empty());
}
