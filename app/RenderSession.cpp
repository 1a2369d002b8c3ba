// RenderSession: the pack, the one text waiting, the pacer, the password and the busy cursor.
#include "app/RenderSession.h"

#include "app/GameChoice.h"

#include "render/GlyphPack.h"

#include <QCursor>
#include <QGuiApplication>

#include <stdexcept>
#include <utility>

namespace glyphtint::app {

namespace {

// Shows the busy cursor for as long as it lives, when asked to.
class BusyCursor {
public:
    explicit BusyCursor(bool shown) : shown_(shown)
    {
        if (shown_) {
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        }
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
    ~BusyCursor()
    {
        if (shown_) {
            QGuiApplication::restoreOverrideCursor();
        }
    }

private:
    bool shown_;
};

} // namespace

RenderSession::RenderSession(HandlerGuard& guard, Target target, RenderSessionHooks hooks)
    : target_(std::move(target)), hooks_(std::move(hooks)),
      queue_([this](const std::string& text) { Draw(text); }, guard)
{
    pack_.SetPasswordRequest([this](const std::string& entryName, std::string& password, bool& skip) {
        AnswerPasswordRequest(entryName, password, skip);
    });
    // A zero timer fires once the events already queued have been handled.
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(0);
    QObject::connect(&flushTimer_, &QTimer::timeout, [this] { queue_.Flush(); });
}

void RenderSession::Open(const std::string& path)
{
    pack_.Open(path);
}

void RenderSession::Close()
{
    flushTimer_.stop();
    queue_.Drop();
    pack_.Close();
}

void RenderSession::Request(std::string text)
{
    // Behind a text that waits, or when the pacer expects this one to take more than a
    // frame: wait for the rest of the keys. The running render, if any, draws it first.
    if (queue_.Holding() || pacer_.WorthWaiting(text.size())) {
        queue_.Hold(std::move(text));
        flushTimer_.start();
        return;
    }
    queue_.Request(std::move(text));
}

void RenderSession::Flush()
{
    flushTimer_.stop();
    queue_.Flush();
}

void RenderSession::Redraw()
{
    // A text still waiting is drawn in the new style when its turn comes.
    if (queue_.Holding() || !lastText_) {
        return;
    }
    Request(*lastText_);
}

void RenderSession::Timed(std::size_t bytes, const std::function<void(Pack& pack)>& render)
{
    const auto start = Now();
    render(pack_);
    pacer_.Rendered(bytes, Now() - start);
}

std::vector<std::string> RenderSession::Run(const pictures::RenderJob& job)
{
    return pictures::RunRenderJob(job, [this]() -> Pack& { return pack_; });
}

void RenderSession::Draw(const std::string& text)
{
    const BusyCursor busy(pacer_.Slow(text.size()));
    refusedPassword_.reset();
    passwordAsked_ = false;
    const auto start = Now();
    try {
        lastText_ = text;
        RenderCodedText(pack_, text, target_(), style_, WindowGame().rules);
    } catch (...) {
        if (hooks_.failed) {
            hooks_.failed(text);
        }
        if (refusedPassword_) {
            throw std::runtime_error("The glyph \"" + *refusedPassword_ +
                                     "\" needs the glyph pack's password, and none was given");
        }
        throw;
    }
    // Time spent waiting for a password says nothing about the cost of rendering.
    if (!passwordAsked_) {
        pacer_.Rendered(text.size(), Now() - start);
    }
    if (hooks_.ready) {
        hooks_.ready(text);
    }
}

void RenderSession::AnswerPasswordRequest(const std::string& entryName, std::string& password, bool& skip)
{
    passwordAsked_ = true;
    std::optional<std::string> typed;
    if (hooks_.askPassword) {
        typed = hooks_.askPassword(entryName, password);
    }
    if (typed) {
        password = std::move(*typed);
    } else {
        // The render then fails on the skipped entry's missing bytes; it reports this instead.
        refusedPassword_ = entryName;
        skip = true;
    }
}

std::chrono::steady_clock::time_point RenderSession::Now() const
{
    return hooks_.now ? hooks_.now() : std::chrono::steady_clock::now();
}

} // namespace glyphtint::app
