// The settings key: the seven values the program keeps between runs (window positions, the two
// toolbar toggles, the last directory), stored as one INI file per user that stands for the key.
#pragma once

#include <QString>

#include <array>

namespace pcx {

// The values of the key, in the order a new key receives its defaults.
enum class Setting { Left, Top, VLeft, VTop, WView, AutoSave, Dir };

enum class SettingType { Integer, Boolean, Text };

struct SettingDefinition {
    Setting setting;
    const char *name; // as stored in the key
    SettingType type;
    int defaultNumber; // an Integer's default, or a Boolean's as 1 or 0; a Text defaults to the home directory
};

// Every value of the key, in the order of Setting.
inline constexpr std::array<SettingDefinition, 7> kSettingDefinitions{{
    {Setting::Left, "Left", SettingType::Integer, 0},
    {Setting::Top, "Top", SettingType::Integer, 0},
    {Setting::VLeft, "VLeft", SettingType::Integer, 550},
    {Setting::VTop, "VTop", SettingType::Integer, 0},
    {Setting::WView, "WView", SettingType::Boolean, 1},
    {Setting::AutoSave, "AutoSave", SettingType::Boolean, 0},
    {Setting::Dir, "Dir", SettingType::Text, 0},
}};

// The value's name in the key.
[[nodiscard]] QString SettingName(Setting setting);

// The key file is the key: a missing file is a missing key. Every call opens the file afresh and
// lets it go, so a change made by another program between calls is seen. Failures throw pcx::Error.
class SettingsKey {
public:
    // The key of the current user: "Tavik PCX Converter.ini" in $XDG_CONFIG_HOME, or in ~/.config
    // when that is unset, empty or relative. The location is fixed when the object is made.
    SettingsKey();

    [[nodiscard]] const QString &path() const { return path_; }

    // Opens the key without creating it: true when the file exists and can be read and written.
    [[nodiscard]] bool tryOpen() const;
    // Creates the key (and its directory) and writes every default in table order.
    // Throws "Failed to create key %s" with the file's path.
    void create() const;
    // Opens the key, or creates it with its defaults when it cannot be opened.
    void ensureKey() const;

    // Reads open the key with full rights, as writes do: a key that cannot be opened so has no
    // values. Throw "Failed to get data for '%s'" for a missing value and "Invalid data type for
    // '%s'" for one that is not a 32-bit decimal integer. A Boolean is true when its number is not 0.
    [[nodiscard]] int readInteger(Setting setting) const;
    [[nodiscard]] bool readBoolean(Setting setting) const;
    // A missing text value reads as empty.
    [[nodiscard]] QString readText(Setting setting) const;

    // Each write reaches the file before it returns; throw "Failed to set data for '%s'" when the
    // key is missing or the file cannot be written. Values written before stay written.
    void writeInteger(Setting setting, int value) const;
    void writeBoolean(Setting setting, bool value) const;
    void writeText(Setting setting, const QString &value) const;

    // Removes the key file; a missing key is passed over in silence.
    void deleteKey() const;

private:
    [[nodiscard]] int readNumber(const QString &name) const;
    void writeValue(const QString &name, const QString &text) const;

    QString path_;
};

} // namespace pcx
