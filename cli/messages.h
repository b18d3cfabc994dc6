// What the tools print: names escaped so that no control character reaches a terminal raw, one
// format for every message about a file, and the exit statuses.
#pragma once

#include "engine/errors.h"

#include <string>
#include <string_view>

namespace pcx::cli {

enum ExitStatus { kSuccess = 0, kFailure = 1, kUsageError = 2 };

// A tab, newline or backslash as \t, \n or \\, any other control character (C0, DEL and the C1
// characters U+0080 to U+009F) as \xHH of its bytes: each name stays one line and one field.
[[nodiscard]] std::string Escaped(std::string_view name);

// "NAME: what failed: REASON", or "NAME: REASON" for an error in the program's own words; the name
// escaped. Messages end without a full stop.
[[nodiscard]] std::string Describe(const Error &error);

// An archive finds the first of two entries whose names differ only in letter case by either name;
// the other is refused alike by every tool ("not converted", "not extracted").
[[nodiscard]] Error ShadowedEntry(std::string_view notDone, const std::string &input, const std::string &found);

// "tool: text" on standard error.
void Report(const char *tool, const std::string &text);

// Flushes standard output; a failure to write it is reported and makes the status kFailure.
int FinishStandardOutput(const char *tool, int status);

} // namespace pcx::cli
