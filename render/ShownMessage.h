// An error's message as the program shows it to the user.
#pragma once

#include <string>

namespace glyphtint::render {

// The window's message box appends a full stop when the last character sorts after
// '.'; the tools print messages the same way so that both read alike.
inline std::string ShownMessage(std::string message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') {
        message += '.';
    }
    return message;
}

} // namespace glyphtint::render
