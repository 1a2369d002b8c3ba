// Serialises renders into one picture across nested event loops.
#pragma once

#include "app/HandlerGuard.h"

#include <functional>
#include <optional>
#include <string>

namespace glyphtint::app {

// A render can open a modal box (the archive's password request, the report of its
// failure) whose event loop runs other handlers, among them banner ticks that render
// again. While one render is running or reporting, a new request is deferred: the
// latest one runs when the current render has finished. After a failure the deferred
// request is dropped, so a failing text is not reported over and over.
class RenderQueue {
public:
    using Render = std::function<void(const std::string& text)>;

    RenderQueue(Render render, HandlerGuard& guard) : render_(std::move(render)), guard_(guard) { }

    // Renders text now, or after the running render. A failure is reported while the
    // render still counts as running, then leaves as EAbort.
    void Request(std::string text);

    bool Busy() const { return busy_; }

private:
    Render render_;
    HandlerGuard& guard_;
    bool busy_ = false;
    std::optional<std::string> deferred_;
};

} // namespace glyphtint::app
