// The settings key as an INI file written through QSettings, one short access per call.
#include "settings_key.h"

#include "engine/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QVariant>

#include <string>

namespace pcx {

namespace {

const QString kKeyFileName = QStringLiteral("Tavik PCX Converter.ini");

Error failedToCreateKey(const QString &path)
{
    return Error("Failed to create key " + QDir::toNativeSeparators(path).toStdString());
}

Error failedToGetData(const QString &name)
{
    return Error("Failed to get data for '" + name.toStdString() + "'");
}

Error invalidDataType(const QString &name)
{
    return Error("Invalid data type for '" + name.toStdString() + "'");
}

Error failedToSetData(const QString &name)
{
    return Error("Failed to set data for '" + name.toStdString() + "'");
}

QString configDirectory()
{
    const QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!configHome.isEmpty() && QDir::isAbsolutePath(configHome))
        return configHome;
    return QDir::homePath() + QStringLiteral("/.config");
}

// QSettings writes through a lock file and a temporary file beside the key, so the directory has
// to take new files as well.
bool directoryTakesFiles(const QString &path)
{
    return QFileInfo(QFileInfo(path).absolutePath()).isWritable();
}

// Opening with full rights: the file exists and can be opened for reading and writing.
bool keyFileWritable(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly) && directoryTakesFiles(path);
}

} // namespace

namespace {

constexpr bool TableInSettingOrder()
{
    for (std::size_t i = 0; i < kSettingDefinitions.size(); ++i)
        if (static_cast<std::size_t>(kSettingDefinitions[i].setting) != i)
            return false;
    return true;
}
static_assert(TableInSettingOrder());

} // namespace

QString SettingName(Setting setting)
{
    return QString::fromLatin1(kSettingDefinitions[static_cast<std::size_t>(setting)].name);
}

SettingsKey::SettingsKey() : path_(configDirectory() + QLatin1Char('/') + kKeyFileName) {}

bool SettingsKey::tryOpen() const
{
    return keyFileWritable(path_);
}

void SettingsKey::create() const
{
    {
        QFile file(path_);
        const bool created = QDir().mkpath(QFileInfo(path_).absolutePath())
                             && file.open(QIODevice::ReadWrite) && directoryTakesFiles(path_);
        if (!created)
            throw failedToCreateKey(path_);
    }
    for (const SettingDefinition &definition : kSettingDefinitions) {
        switch (definition.type) {
        case SettingType::Integer:
            writeInteger(definition.setting, definition.defaultNumber);
            break;
        case SettingType::Boolean:
            writeBoolean(definition.setting, definition.defaultNumber != 0);
            break;
        case SettingType::Text:
            writeText(definition.setting, QDir::homePath());
            break;
        }
    }
}

void SettingsKey::ensureKey() const
{
    if (!tryOpen())
        create();
}

int SettingsKey::readNumber(const QString &name) const
{
    // The key is opened with full rights to be read as well; one that cannot be has no values.
    if (!tryOpen())
        throw failedToGetData(name);
    const QSettings settings(path_, QSettings::IniFormat);
    const QVariant value = settings.value(name);
    if (!value.isValid())
        throw failedToGetData(name);
    // Every value is written as text; a list or another typed value left by a hand edit is no
    // number. Base 10 only, and toInt fails outside the 32-bit range.
    bool ok = false;
    const int number = value.typeId() == QMetaType::QString ? value.toString().toInt(&ok, 10) : 0;
    if (!ok)
        throw invalidDataType(name);
    return number;
}

int SettingsKey::readInteger(Setting setting) const
{
    return readNumber(SettingName(setting));
}

bool SettingsKey::readBoolean(Setting setting) const
{
    return readNumber(SettingName(setting)) != 0;
}

QString SettingsKey::readText(Setting setting) const
{
    const QString name = SettingName(setting);
    if (!tryOpen())
        return {};
    const QSettings settings(path_, QSettings::IniFormat);
    const QVariant value = settings.value(name);
    if (!value.isValid())
        return {};
    // An unquoted comma in a hand-edited file makes QSettings read a list, which is no text.
    if (value.typeId() != QMetaType::QString)
        throw invalidDataType(name);
    return value.toString();
}

void SettingsKey::writeInteger(Setting setting, int value) const
{
    writeValue(SettingName(setting), QString::number(value));
}

void SettingsKey::writeBoolean(Setting setting, bool value) const
{
    writeValue(SettingName(setting), value ? QStringLiteral("1") : QStringLiteral("0"));
}

void SettingsKey::writeText(Setting setting, const QString &value) const
{
    writeValue(SettingName(setting), value);
}

void SettingsKey::writeValue(const QString &name, const QString &text) const
{
    // Checked first: QSettings keeps a refused value pending in its per-process cache, where later
    // reads would see it although the file never got it. This also keeps a write from creating a
    // missing key.
    if (!keyFileWritable(path_))
        throw failedToSetData(name);
    bool written = false;
    {
        QSettings settings(path_, QSettings::IniFormat);
        settings.setValue(name, text);
        settings.sync();
        written = settings.status() == QSettings::NoError;
        // A line QSettings could not parse is reported even when the file was then rewritten
        // cleanly; a fresh access retries anything still pending and tells the two apart.
        if (settings.status() == QSettings::FormatError)
            written = QSettings(path_, QSettings::IniFormat).status() == QSettings::NoError;
    }
    if (!written)
        throw failedToSetData(name);
}

void SettingsKey::deleteKey() const
{
    QFile::remove(path_);
}

} // namespace pcx
