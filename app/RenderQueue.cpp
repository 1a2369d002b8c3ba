// RenderQueue: one render at a time, the latest deferred request after it.
#include "app/RenderQueue.h"

#include <utility>

namespace glyphtint::app {

RenderOutcome RenderQueue::Request(std::string text) noexcept
{
    Hold(std::move(text));
    return Flush();
}

RenderOutcome RenderQueue::Flush() noexcept
{
    // The latest request wins; a running render picks it up when it returns.
    if (busy_) {
        return RenderOutcome::Deferred;
    }
    busy_ = true;
    RenderOutcome outcome = RenderOutcome::Rendered;
    while (deferred_) {
        const std::string current = *std::exchange(deferred_, std::nullopt);
        try {
            render_(current);
        } catch (...) {
            ++failures_;
            guard_.ReportCurrentException();
            // Requests made while the report was open are dropped with the failure.
            deferred_.reset();
            outcome = RenderOutcome::Failed;
        }
    }
    busy_ = false;
    return outcome;
}

} // namespace glyphtint::app
