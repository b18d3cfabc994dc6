// Message texts of the engine's failures and the full-stop rule.
#include "errors.h"

namespace pcx {

Error CannotOpenFile(std::string_view name)
{
    return Error("Cannot open file " + std::string(name));
}

Error CannotCreateFile(std::string_view name)
{
    return Error("Cannot create file " + std::string(name));
}

Error StreamReadError()
{
    return Error("Stream read error");
}

Error StreamWriteError()
{
    return Error("Stream write error");
}

Error NotAnInteger(std::string_view text)
{
    return Error("'" + std::string(text) + "' is not a valid integer value");
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
