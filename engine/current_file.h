// The current-file record: the one place that holds the file being worked on, as text, plus the
// output name and the progress value. The window shows it in its status panels, Edit3 and
// ProgressBar1; tools use PlainRecord.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace pcx {

enum class Panel : int {
    Name = 0,     // the name with which the file was opened
    Width = 1,    // decimal
    Height = 2,   // decimal
    DataSize = 3, // decimal
};

inline constexpr int kPanelCount = 4;

class CurrentFileRecord {
public:
    virtual ~CurrentFileRecord() = default;

    [[nodiscard]] virtual std::string panel(Panel which) const = 0;
    virtual void setPanel(Panel which, const std::string &text) = 0;
    [[nodiscard]] virtual std::string outputName() const = 0;
    virtual void setOutputName(const std::string &name) = 0;
    // 0 to 100, moved between the passes of a conversion.
    virtual void setProgress(int value) = 0;
};

// The record with plain fields, for the command line and the tests.
class PlainRecord final : public CurrentFileRecord {
public:
    std::array<std::string, kPanelCount> panels;
    std::string output;
    int progress = 0;

    std::string panel(Panel which) const override { return panels[static_cast<int>(which)]; }
    void setPanel(Panel which, const std::string &text) override
    {
        panels[static_cast<int>(which)] = text;
    }
    std::string outputName() const override { return output; }
    void setOutputName(const std::string &name) override { output = name; }
    void setProgress(int value) override { progress = value; }
};

// Parses a panel's decimal text as a signed 32-bit integer, as every consumer does each time it needs
// a number: "'<text>' is not a valid integer value" when it holds none.
[[nodiscard]] std::int32_t ParseInteger(std::string_view text);
[[nodiscard]] std::int32_t PanelInteger(const CurrentFileRecord &record, Panel which);

} // namespace pcx
