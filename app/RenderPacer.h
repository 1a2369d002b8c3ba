// How long the render of a text is expected to take, from the renders seen so far.
#pragma once

#include <chrono>
#include <cstddef>

namespace glyphtint::app {

// A render costs about the same per byte of text whatever the text (every character is
// extracted, decoded and tinted anew), so the latest render's cost per byte predicts
// the next one's. The window renders at once what is cheap, and leaves a text that takes
// longer than a frame for a moment later, so that keys arriving meanwhile are drawn by
// one render; a render longer than a glance shows the busy cursor.
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

    // Longer than a frame of the screen: keys typed meanwhile would queue up behind it.
    static constexpr Duration kFrame = std::chrono::milliseconds(20);

    // True when a text of the given length is expected to take longer than a glance.
    bool Slow(std::size_t bytes) const { return Expected(bytes) > kGlance; }
    // True when a text of the given length is worth waiting a moment for the keys already
    // queued: drawn at once, each of a burst of keys would cost a render of its own.
    bool WorthWaiting(std::size_t bytes) const { return Expected(bytes) > kFrame; }

private:
    double nanosecondsPerByte_ = 0;
};

} // namespace glyphtint::app
