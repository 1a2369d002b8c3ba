// RenderService: what glyphtint-serve answers to one HTTP request, without sockets: the
// pictures and description glyphtint-render makes of the text in the query, drawn by a
// pool of renderers, their cache tags, and the errors of a bad query as the tool words them.
#pragma once

#include "serve/HttpMessages.h"
#include "serve/RendererPool.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace glyphtint::tools {

struct ServiceLimits {
    std::size_t maxTextBytes = 4096;
    unsigned renderers = 1; // renders at once, each renderer with a pack of its own
    // A render whose expected wait for a renderer is longer is refused with 503.
    double maxWaitSeconds = 1;
    // How long a picture may be kept when its address does not name the pack (v=).
    unsigned maxAgeSeconds = 24 * 60 * 60;
    // The service's address from outside (--public-url, ending in '/'), for the page's
    // link previews and snippets; empty when not known.
    std::string publicUrl;
};

// One glyph pack's bytes, held unchangeable, and their digest.
struct PackFile;

class RenderService {
public:
    // Opens the pack at archive; raises its error when it cannot be opened.
    RenderService(std::string archive, ServiceLimits limits);
    ~RenderService();
    RenderService(const RenderService&) = delete;
    RenderService& operator=(const RenderService&) = delete;

    // Reads the archive anew (an updated pack), which every renderer takes before its
    // next render. Raises why it cannot be read or draws not every glyph, and then
    // keeps serving the pack before.
    void Reload();

    // Thread-safe. The answer, or nothing when a renderer is to draw it: reply then
    // takes the answer later.
    std::optional<HttpAnswer> Answer(const HttpRequest& request, Reply reply);

private:
    struct Renderer;
    struct PictureJob;

    std::optional<HttpAnswer> AnswerPicture(const HttpRequest& request, std::string_view path, std::string_view query,
                                            Reply& reply);
    HttpAnswer Page(const HttpRequest& request, std::string_view page, std::string_view query) const;
    HttpAnswer Draw(Renderer& renderer, const PictureJob& job);
    HttpAnswer Health() const;
    void Refresh(unsigned renderer);
    std::shared_ptr<const PackFile> Current() const;

    const std::string archive_;
    const ServiceLimits limits_;
    mutable std::mutex mutex_;
    std::shared_ptr<const PackFile> current_;
    // Each touched only by its own renderer's thread.
    std::vector<std::unique_ptr<Renderer>> renderers_;
    // Renderers that cannot open the current pack, and pictures failed one after another.
    std::atomic<unsigned> renderersWithoutPack_ = 0;
    std::atomic<unsigned> failedInARow_ = 0;
    // Last, so that its threads stop before anything they use goes.
    std::unique_ptr<RendererPool> pool_;
};

} // namespace glyphtint::tools
