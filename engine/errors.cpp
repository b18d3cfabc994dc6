// Message texts of the engine's failures and the full-stop rule.
#include "errors.h"

#include <cstring>
#include <utility>

namespace pcx {

namespace {

std::string ReasonOr(int error, const char *otherwise)
{
    return error != 0 ? SystemReason(error) : otherwise;
}

} // namespace

Error::Error(const std::string &message) : std::runtime_error(message), reason_(message) {}

Error::Error(const std::string &windowText, std::string file, std::string action, std::string reason)
    : std::runtime_error(windowText), file_(std::move(file)), action_(std::move(action)), reason_(std::move(reason))
{
}

Error Error::About(const std::string &file) const
{
    Error e = *this;
    if (e.file_.empty())
        e.file_ = file;
    return e;
}

std::string SystemReason(int error)
{
    char buffer[256];
    // The GNU strerror_r may return a static text instead of filling the buffer; the standard one
    // fills it. Both are safe across threads, unlike strerror.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    return ::strerror_r(error, buffer, sizeof buffer);
#else
    return ::strerror_r(error, buffer, sizeof buffer) == 0 ? buffer : "error " + std::to_string(error);
#endif
}

Error CannotOpenFile(std::string_view name, int error)
{
    return Error("Cannot open file " + std::string(name), std::string(name), "cannot open",
                 ReasonOr(error, "not a regular file"));
}

Error CannotCreateFile(std::string_view name, int error)
{
    return CannotCreateFile(name, ReasonOr(error, "not a regular file"));
}

Error CannotCreateFile(std::string_view name, std::string reason)
{
    return Error("Cannot create file " + std::string(name), std::string(name), "cannot create", std::move(reason));
}

Error StreamReadError(std::string reason)
{
    return Error("Stream read error", {}, "cannot read", std::move(reason));
}

Error StreamReadError(std::string_view name, int error)
{
    return Error("Stream read error", std::string(name), "cannot read", ReasonOr(error, "file too short"));
}

Error StreamWriteError(std::string_view name, int error)
{
    return Error("Stream write error", std::string(name), "cannot write", ReasonOr(error, "short write"));
}

Error NotAnInteger(std::string_view text)
{
    std::string message = "'";
    message.append(text).append("' is not a valid integer value");
    return Error(message);
}

std::string UserMessage(std::string_view message)
{
    std::string text(message);
    // Compared as an unsigned byte, so the last byte of a UTF-8 letter counts as a letter.
    if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
        text += '.';
    return text;
}

} // namespace pcx
