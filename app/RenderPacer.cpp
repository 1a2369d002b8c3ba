// RenderPacer: the expected cost of a render from the latest one's cost per byte.
#include "app/RenderPacer.h"

namespace glyphtint::app {

void RenderPacer::Rendered(std::size_t bytes, Duration took)
{
    if (bytes == 0) {
        return;
    }
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(took).count();
    nanosecondsPerByte_ = static_cast<double>(nanoseconds) / static_cast<double>(bytes);
}

RenderPacer::Duration RenderPacer::Expected(std::size_t bytes) const
{
    const auto nanoseconds = static_cast<long long>(nanosecondsPerByte_ * static_cast<double>(bytes));
    return std::chrono::duration_cast<Duration>(std::chrono::nanoseconds(nanoseconds));
}

} // namespace glyphtint::app
