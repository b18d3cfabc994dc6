// Reading a LOD PCX header into the current-file record, the output name, and the classification.
#pragma once

#include "conversion.h"
#include "current_file.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace pcx {

// Reads data size, width and height into panels 3, 1 and 2, then writes the name to panel 0 and the
// derived output name to the record. The name may be a file's or an archive entry's (see
// named_source.h). A file shorter than the header reads the fields it cannot read
// whole as 0. "Cannot open file <name>" leaves the record as it was.
void ReadSourceHeader(CurrentFileRecord &record, const std::string &fileName);

// The window's rule: the name less its last four characters (UTF-8 characters, never cut inside one)
// plus ".bmp". The characters dropped stop at the last separator, so the output stays in the
// source's directory: "dir/ab" gives "dir/.bmp".
[[nodiscard]] std::string OutputNameFor(std::string_view sourceName);

// The tools' rule: the file name's extension (from its last ".") replaced by extension, or extension
// added where it has none; a leading "." starts no extension (".hidden" gives ".hidden.bmp").
[[nodiscard]] std::string WithExtension(std::string_view name, std::string_view extension);

// The text from the last "." of the last path component to the end; empty when there is none.
[[nodiscard]] std::string_view ExtensionOf(std::string_view name);

// True for ".pcx" in any letter case: these carry their palette in the last 768 bytes.
[[nodiscard]] bool HasPcxExtension(std::string_view name);
// Where a source of that name keeps its colour table.
[[nodiscard]] ColourTableRule ColourTableRuleFor(std::string_view name);

// The two tests on width w, height h and data size s; each is made on its own. Neither holds for a
// width or height of 0 or below: such a header describes no picture.
[[nodiscard]] bool IsIndexed(std::int32_t w, std::int32_t h, std::int32_t s);
[[nodiscard]] bool IsTrueColor(std::int32_t w, std::int32_t h, std::int32_t s);

// The same tests on the record's panels, parsed afresh.
[[nodiscard]] bool IsIndexed(const CurrentFileRecord &record);
[[nodiscard]] bool IsTrueColor(const CurrentFileRecord &record);

// Whether writing output would replace the source itself.
[[nodiscard]] bool IsOwnOutput(const std::string &sourceName, const std::string &outputName);

} // namespace pcx
