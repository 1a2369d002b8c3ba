// HandlerGuard: turns exceptions leaving handlers into one report each.
#include "app/HandlerGuard.h"

#include "render/ShownMessage.h"

namespace glyphtint::app {

void HandlerGuard::ReportCurrentException() noexcept
{
    try {
        throw;
    } catch (const EAbort&) {
        // Reported where it happened.
    } catch (const std::exception& error) {
        Report(error.what());
    } catch (...) {
        Report("Unknown error");
    }
}

void HandlerGuard::Report(const std::string& message) noexcept
{
    try {
        if (reporter_) {
            reporter_(glyphtint::render::ShownMessage(message));
        }
    } catch (...) {
        // A reporter that fails (no memory for the box) has nothing better to fall back on.
    }
}

} // namespace glyphtint::app
