// Errors of the program. Each carries the text the window shows and, for the command-line tools,
// the file it concerns, what failed and why.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace pcx {

// what() is the window's text, before the full-stop rule of UserMessage. The tools build their
// message from file(), action() and reason() instead (see cli/messages.h).
class Error : public std::runtime_error {
public:
    // A failure in the program's own words, the same for the window and the tools.
    explicit Error(const std::string &message);
    // A failure of a file operation: the window's fixed text; what failed ("cannot create") and the
    // system's reason ("Permission denied") or ours ("file too short for its rows").
    Error(const std::string &windowText, std::string file, std::string action, std::string reason);

    [[nodiscard]] const std::string &file() const { return file_; }
    [[nodiscard]] const std::string &action() const { return action_; }
    [[nodiscard]] const std::string &reason() const { return reason_; }

    // The same error about file when it names none yet: the conversion core knows no names, its
    // callers do.
    [[nodiscard]] Error About(const std::string &file) const;

private:
    std::string file_;
    std::string action_;
    std::string reason_;
};

// The system's text for an errno value.
[[nodiscard]] std::string SystemReason(int error);

// error: the errno value that says why, 0 when the system gave none.
[[nodiscard]] Error CannotOpenFile(std::string_view name, int error = 0);
[[nodiscard]] Error CannotCreateFile(std::string_view name, int error = 0);
[[nodiscard]] Error CannotCreateFile(std::string_view name, std::string reason);
// A source that holds fewer bytes than it must; reason says which part is missing.
[[nodiscard]] Error StreamReadError(std::string reason = "file too short");
[[nodiscard]] Error StreamReadError(std::string_view name, int error);
[[nodiscard]] Error StreamWriteError(std::string_view name = {}, int error = 0);
[[nodiscard]] Error NotAnInteger(std::string_view text);

// The text a user sees for a message: a full stop is appended when the message is not empty and its
// last byte sorts after '.' (so "Stream read error" gets one, "... for 'Dir'" does not).
[[nodiscard]] std::string UserMessage(std::string_view message);

} // namespace pcx
