// RenderQueue: one render at a time, the latest deferred request after it.
#include "app/RenderQueue.h"

#include <utility>

namespace glyphtint::app {

void RenderQueue::Request(std::string text)
{
    if (busy_) {
        deferred_ = std::move(text);
        return;
    }
    busy_ = true;
    std::optional<std::string> next = std::move(text);
    bool failed = false;
    while (next && !failed) {
        const std::string current = std::move(*next);
        deferred_.reset();
        try {
            render_(current);
        } catch (...) {
            failed = true;
            guard_.ReportCurrentException();
        }
        next = std::exchange(deferred_, std::nullopt);
    }
    busy_ = false;
    if (failed) {
        throw EAbort();
    }
}

} // namespace glyphtint::app
