// The one boundary between the window's handlers and Qt: failures become error reports.
#pragma once

#include <exception>
#include <functional>
#include <string>

namespace glyphtint::app {

// Shows one failure to the user (modal): its message, already in its shown form, and
// a sentence in plain words on what happened and what to do ("" when there is none).
using ErrorReporter = std::function<void(const std::string& message, const std::string& advice)>;

class HandlerGuard {
public:
    explicit HandlerGuard(ErrorReporter reporter) : reporter_(std::move(reporter)) { }

    // Runs a handler; whatever it throws is reported here and goes no further.
    template <class Handler> void Run(Handler&& handler) noexcept
    {
        try {
            handler();
        } catch (...) {
            ReportCurrentException();
        }
    }

    // Reports the exception being handled; call only inside a catch block.
    void ReportCurrentException() noexcept;
    // Reports a message with the full-stop rule applied, and its advice.
    void Report(const std::string& message, const std::string& advice = {}) noexcept;

private:
    ErrorReporter reporter_;
};

} // namespace glyphtint::app
