// Serialises renders into one picture across nested event loops.
#pragma once

#include "app/HandlerGuard.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace glyphtint::app {

// What became of a render request.
enum class RenderOutcome {
    Rendered, // drawn, the latest request made meanwhile included
    Deferred, // left for the render running now, which draws it when it returns
    Failed,   // a render failed and has been reported; requests made meanwhile are dropped
};

// A render can open a modal box (the archive's password request, the report of its
// failure) whose event loop runs other handlers, among them banner ticks that render
// again. While one render is running or reporting, a new request is deferred: the
// latest one runs when the current render has finished. After a failure the deferred
// request is dropped, so a failing text is not reported over and over. A request can
// also be held for a moment later (Hold, then Flush): it waits in the same place, so
// whichever text came last is the one drawn.
class RenderQueue {
public:
    using Render = std::function<void(const std::string& text)>;

    RenderQueue(Render render, HandlerGuard& guard) : render_(std::move(render)), guard_(guard) { }

    // Renders text now, or after the running render. A failure is reported through the
    // guard while the render still counts as running; nothing leaves as an exception.
    RenderOutcome Request(std::string text) noexcept;
    // Keeps text as the latest request without drawing it: the running render or the
    // next Flush draws it.
    void Hold(std::string text) noexcept { deferred_ = std::move(text); }
    // Draws the request held, unless a render is running (which then draws it).
    RenderOutcome Flush() noexcept;
    // Forgets the request held.
    void Drop() noexcept { deferred_.reset(); }

    bool Busy() const { return busy_; }
    // True while a request waits to be drawn.
    bool Holding() const { return deferred_.has_value(); }
    // How many renders have failed so far; counted before the failure is reported.
    std::size_t Failures() const { return failures_; }

private:
    Render render_;
    HandlerGuard& guard_;
    bool busy_ = false;
    std::size_t failures_ = 0;
    std::optional<std::string> deferred_;
};

} // namespace glyphtint::app
