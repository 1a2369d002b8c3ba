// HandlerGuard: turns exceptions leaving handlers into one report each.
#include "app/HandlerGuard.h"

#include "render/ErrorCauses.h"
#include "render/ShownMessage.h"

namespace glyphtint::app {

void HandlerGuard::ReportCurrentException() noexcept
{
    try {
        throw;
    } catch (const std::exception& error) {
        Report(error.what(), glyphtint::render::PlainAdvice(error));
    } catch (...) {
        Report("Unknown error");
    }
}

void HandlerGuard::Report(const std::string& message, const std::string& advice) noexcept
{
    try {
        if (reporter_) {
            reporter_(glyphtint::render::ShownMessage(message), advice);
        }
    } catch (...) {
        // A reporter that fails (no memory for the box) has nothing better to fall back on.
    }
}

} // namespace glyphtint::app
