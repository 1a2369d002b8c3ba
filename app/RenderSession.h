// RenderSession: the window's render path, from a text to the picture under the tabs.
#pragma once

#include "app/HandlerGuard.h"
#include "app/RenderPacer.h"
#include "app/RenderQueue.h"
#include "pictures/RenderJob.h"
#include "raster/Graphics.h"
#include "render/GlyphPack.h"
#include "render/PictureStyle.h"

#include <QTimer>

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace glyphtint::app {

// What the session asks of its owner; every hook may be left empty.
struct RenderSessionHooks {
    // The password of an encrypted glyph: the typed password, or nothing for Cancel.
    // Empty means Cancel.
    std::function<std::optional<std::string>(const std::string& entryName, const std::string& password)> askPassword;
    // Told after each render with the text drawn, while a long render's busy cursor
    // still shows.
    std::function<void(const std::string& text)> ready;
    // Told when a render fails, before its error is reported: the picture then shows the
    // glyphs before the failure, or nothing when the text was refused.
    std::function<void(const std::string& text)> failed;
    // The time now; empty means the steady clock.
    std::function<std::chrono::steady_clock::time_point()> now;
};

// Holds the glyph pack and draws the latest text asked for. A text expected to take
// longer than a frame waits until the events already queued (the rest of a burst of
// keys) have been handled, so that the burst costs one render of its final text; a
// render expected to take longer than a glance shows the busy cursor. Renders never
// nest (a password box or an error report runs an event loop), and the text waiting is
// always the latest one asked for.
class RenderSession {
public:
    // The glyph pack; every use of it is in this class.
    using Pack = glyphtint::render::GlyphPack;
    // The picture that renders draw into, asked for at each render.
    using Target = std::function<TPicture&()>;

    RenderSession(HandlerGuard& guard, Target target, RenderSessionHooks hooks = {});
    RenderSession(const RenderSession&) = delete;
    RenderSession& operator=(const RenderSession&) = delete;

    // Opens the pack file; failures leave as exceptions.
    void Open(const std::string& path);
    // Closes the pack and forgets the text waiting.
    void Close();
    bool PackOpen() const { return pack_.Active(); }

    // Draws text now, or once the queued events have been handled when it is expected to
    // take long or another text already waits. Failures are reported through the guard.
    void Request(std::string text);
    // Draws the text waiting, if any, now.
    void Flush();
    bool Waiting() const { return queue_.Holding(); }

    // Runs a render of the given number of bytes outside the queue (the palettes), and
    // lets its time teach the pacer; failures leave as exceptions.
    void Timed(std::size_t bytes, const std::function<void(Pack& pack)>& render);

    // The files of a job (a saved, copied or exported picture) drawn with the pack, outside
    // the queue; failures leave as exceptions.
    std::vector<std::string> Run(const pictures::RenderJob& job);

    // What renders draw on and how legible their tints are; the default is the glyph
    // background with the tints unchanged.
    void SetStyle(const render::PictureStyle& style) { style_ = style; }
    const render::PictureStyle& Style() const { return style_; }
    // Draws the last text drawn (or the one waiting) again, as a new style asks.
    void Redraw();

    // How many renders have failed so far.
    std::size_t Failures() const { return queue_.Failures(); }

private:
    void Draw(const std::string& text);
    void AnswerPasswordRequest(const std::string& entryName, std::string& password, bool& skip);
    std::chrono::steady_clock::time_point Now() const;

    Target target_;
    RenderSessionHooks hooks_;
    Pack pack_;
    RenderQueue queue_;
    RenderPacer pacer_;
    // Fires once the events queued before the wait began have been handled.
    QTimer flushTimer_;
    // The entry whose password request the user cancelled during the running render.
    std::optional<std::string> refusedPassword_;
    render::PictureStyle style_;
    std::optional<std::string> lastText_;
    bool passwordAsked_ = false;
};

} // namespace glyphtint::app
