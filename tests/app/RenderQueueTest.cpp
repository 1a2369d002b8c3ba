// RenderQueue: a render asked for during a render waits for it; a failure is reported
// once and is an outcome, not an exception.
#include "app/RenderQueue.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using glyphtint::app::HandlerGuard;
using glyphtint::app::RenderOutcome;
using glyphtint::app::RenderQueue;

namespace {

struct Recorder {
    std::vector<std::string> rendered;
    std::vector<std::string> reports;
    int depth = 0;
    int deepest = 0;
};

} // namespace

TEST(RenderQueue, RequestsDuringARenderWaitAndOnlyTheLatestIsDrawn)
{
    Recorder record;
    HandlerGuard guard([&](const std::string& message, const std::string&) { record.reports.push_back(message); });
    RenderQueue* self = nullptr;
    std::vector<RenderOutcome> nested;
    RenderQueue queue(
        [&](const std::string& text) {
            ++record.depth;
            record.deepest = std::max(record.deepest, record.depth);
            if (text == "outer") {
                // A box's event loop runs two more changes before this render returns.
                nested.push_back(self->Request("first"));
                nested.push_back(self->Request("second"));
            }
            record.rendered.push_back(text);
            --record.depth;
        },
        guard);
    self = &queue;

    EXPECT_EQ(queue.Request("outer"), RenderOutcome::Rendered);
    EXPECT_EQ(record.deepest, 1) << "a render ran inside another";
    EXPECT_EQ(record.rendered, (std::vector<std::string>{"outer", "second"}));
    EXPECT_EQ(nested, (std::vector<RenderOutcome>{RenderOutcome::Deferred, RenderOutcome::Deferred}));
    EXPECT_FALSE(queue.Busy());
}

TEST(RenderQueue, AFailureIsReportedOnceDropsWhatWaitedAndLeavesNoException)
{
    Recorder record;
    RenderQueue* self = nullptr;
    HandlerGuard guard([&](const std::string& message, const std::string&) {
        record.reports.push_back(message);
        // Ticks arriving while the report is open.
        EXPECT_EQ(self->Request("during the report"), RenderOutcome::Deferred);
    });
    RenderQueue queue(
        [&](const std::string& text) {
            record.rendered.push_back(text);
            if (text == "bad") {
                throw std::runtime_error("Glyph missing");
            }
        },
        guard);
    self = &queue;

    RenderOutcome outcome = RenderOutcome::Rendered;
    EXPECT_NO_THROW(outcome = queue.Request("bad"));
    EXPECT_EQ(outcome, RenderOutcome::Failed);
    EXPECT_EQ(record.reports, std::vector<std::string>{"Glyph missing."});
    EXPECT_EQ(record.rendered, std::vector<std::string>{"bad"});
    EXPECT_EQ(queue.Failures(), 1u);

    EXPECT_EQ(queue.Request("good"), RenderOutcome::Rendered);
    EXPECT_EQ(queue.Failures(), 1u);
}
