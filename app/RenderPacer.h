// How long the render of a text is expected to take, from the renders seen so far.
#pragma once

#include <chrono>
#include <cstddef>

namespace glyphtint::app {

// A render costs about the same per byte of text whatever the text (every character is
// extracted, decoded and tinted anew), so the latest render's cost per byte predicts
// the next one's. The window renders at once what is cheap, and leaves a text that takes
// longer than a glance for a moment later, so that keys arriving meanwhile are drawn by
// one render; such a render shows the busy cursor.
class RenderPacer {
public:
    using Duration = std::chrono::steady_clock::duration;

    // Longer than a person's glance at the window.
    static constexpr Duration kGlance = std::chrono::milliseconds(150);

    // Records that rendering a text of the given length took the given time. An empty
    // text says nothing about the cost per byte and is not counted.
    void Rendered(std::size_t bytes, Duration took);

    // The expected time of rendering a text of the given length; zero before any render.
    Duration Expected(std::size_t bytes) const;

    // True when a text of the given length is expected to take longer than a glance.
    bool Slow(std::size_t bytes) const { return Expected(bytes) > kGlance; }

private:
    double nanosecondsPerByte_ = 0;
};

} // namespace glyphtint::app
