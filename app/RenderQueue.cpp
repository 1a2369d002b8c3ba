// RenderQueue: one render at a time, the latest deferred request after it.
#include "app/RenderQueue.h"

#include <utility>

namespace glyphtint::app {

void RenderQueue::Request(std::string text)
{
    // The latest request wins; a running render picks it up when it returns.
    deferred_ = std::move(text);
    if (busy_) {
        return;
    }
    busy_ = true;
    while (deferred_) {
        const std::string current = *std::exchange(deferred_, std::nullopt);
        try {
            render_(current);
        } catch (...) {
            guard_.ReportCurrentException();
            // Requests made while the report was open are dropped with the failure.
            deferred_.reset();
            busy_ = false;
            throw EAbort();
        }
    }
    busy_ = false;
}

} // namespace glyphtint::app
