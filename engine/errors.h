// Errors of the program: each carries the message text that the user reads.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace pcx {

// Every failure in the program is one of these; the text is the message as the program states it,
// before the full-stop rule of UserMessage is applied.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string &message) : std::runtime_error(message) {}
};

[[nodiscard]] Error CannotOpenFile(std::string_view name);
[[nodiscard]] Error CannotCreateFile(std::string_view name);
[[nodiscard]] Error StreamReadError();
[[nodiscard]] Error StreamWriteError();
[[nodiscard]] Error NotAnInteger(std::string_view text);

// The text a user sees for a message: a full stop is appended when the message is not empty and its
// last byte sorts after '.' (so "Stream read error" gets one, "... for 'Dir'" does not).
[[nodiscard]] std::string UserMessage(std::string_view message);

} // namespace pcx
