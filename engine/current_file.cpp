// Reading numbers back from the current-file record.
#include "current_file.h"

#include "errors.h"

#include <charconv>

namespace pcx {

std::int32_t ParseInteger(std::string_view text)
{
    std::int32_t value = 0;
    const char *first = text.data();
    const char *last = first + text.size();
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc{} || end != last || text.empty())
        throw NotAnInteger(text);
    return value;
}

std::int32_t PanelInteger(const CurrentFileRecord &record, Panel which)
{
    return ParseInteger(record.panel(which));
}

} // namespace pcx
