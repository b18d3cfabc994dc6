// Tests of the settings key file: defaults, round trips, deletion and every failure message.
// Each test points XDG_CONFIG_HOME and HOME into its own temporary directory.
#include "engine/errors.h"
#include "settings/settings_key.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <unistd.h>

using pcx::Setting;
using pcx::SettingsKey;

namespace {

enum class Kind { Integer, Boolean, Text };

// The message of the pcx::Error that the call throws, or empty when it throws none.
template <typename Call>
QString errorOf(Call &&call)
{
    try {
        call();
    } catch (const pcx::Error &error) {
        return QString::fromStdString(error.what());
    }
    return {};
}

QVariant readAs(const SettingsKey &key, Kind kind, Setting name)
{
    switch (kind) {
    case Kind::Integer: return key.readInteger(name);
    case Kind::Boolean: return key.readBoolean(name);
    case Kind::Text: return key.readText(name);
    }
    return {};
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class SettingsKeyTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void keyPath_data();
    void keyPath();
    void firstRunWritesDefaults();
    void valuesSurviveNewStore();
    void editBetweenAccessesIsSeen();
    void deleteRemovesKey();
    void readValues_data();
    void readValues();
    void readFailures_data();
    void readFailures();
    void dirRoundTrip_data();
    void dirRoundTrip();
    void createFailures_data();
    void createFailures();
    void writeFailsWithoutKeyFile();
    void writeRepairsHandEditedFile();
    void unprivilegedFailures();

private:
    [[nodiscard]] QString configDir() const { return dir_->filePath(QStringLiteral("config")); }
    // Reads the key as another process would: a copy under a fresh path is not in QSettings' cache.
    [[nodiscard]] SettingsKey freshCopy(const SettingsKey &key);

    std::unique_ptr<QTemporaryDir> dir_;
};

void SettingsKeyTest::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("home")));
    qputenv("HOME", dir_->filePath(QStringLiteral("home")).toUtf8());
    qputenv("XDG_CONFIG_HOME", configDir().toUtf8()); // missing at first, as on a fresh account
    QVERIFY(SettingsKey().path().startsWith(dir_->path()));
}

SettingsKey SettingsKeyTest::freshCopy(const SettingsKey &key)
{
    static int copies = 0;
    const QString copyDir = dir_->filePath(QStringLiteral("copy%1").arg(++copies));
    [&] {
        QVERIFY(QDir().mkpath(copyDir));
        QVERIFY(QFile::copy(key.path(), copyDir + QStringLiteral("/Tavik PCX Converter.ini")));
    }();
    qputenv("XDG_CONFIG_HOME", copyDir.toUtf8());
    SettingsKey copy;
    qputenv("XDG_CONFIG_HOME", configDir().toUtf8());
    return copy;
}

void SettingsKeyTest::keyPath_data()
{
    QTest::addColumn<QByteArray>("configHome");
    QTest::addColumn<QString>("expected"); // "~" stands for the home directory set by init()
    QTest::newRow("set") << QByteArray("/srv/cfg") << QStringLiteral("/srv/cfg/Tavik PCX Converter.ini");
    QTest::newRow("empty") << QByteArray() << QStringLiteral("~/.config/Tavik PCX Converter.ini");
    QTest::newRow("relative") << QByteArray("cfg") << QStringLiteral("~/.config/Tavik PCX Converter.ini");
}

void SettingsKeyTest::keyPath()
{
    QFETCH(QByteArray, configHome);
    QFETCH(QString, expected);
    qputenv("XDG_CONFIG_HOME", configHome);
    QCOMPARE(SettingsKey().path(), expected.replace(QLatin1Char('~'), QDir::homePath()));
}

void SettingsKeyTest::firstRunWritesDefaults()
{
    const SettingsKey key;
    const QString home = dir_->filePath(QStringLiteral("home now"));
    qputenv("HOME", home.toUtf8()); // the default directory is the home at creation time
    QVERIFY(!key.tryOpen());
    QVERIFY(!QFile::exists(key.path()));
    key.ensureKey();
    QVERIFY(key.tryOpen());

    QStringList lines = QString::fromUtf8(fileBytes(key.path())).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    lines.sort();
    QStringList expected{QStringLiteral("[General]"), QStringLiteral("Left=0"), QStringLiteral("Top=0"),
                         QStringLiteral("VLeft=550"), QStringLiteral("VTop=0"), QStringLiteral("WView=1"),
                         QStringLiteral("AutoSave=0"), QStringLiteral("Dir=") + home};
    expected.sort();
    QCOMPARE(lines, expected);
}

void SettingsKeyTest::valuesSurviveNewStore()
{
    SettingsKey().ensureKey();
    const SettingsKey writer;
    writer.writeInteger(Setting::Left, -191);
    writer.writeInteger(Setting::VLeft, 2147483647);
    writer.writeInteger(Setting::VTop, -2147483647 - 1);
    writer.writeBoolean(Setting::WView, false);
    writer.writeBoolean(Setting::AutoSave, true);
    SettingsKey().ensureKey(); // an existing key keeps its values

    for (const SettingsKey &reader : {SettingsKey(), freshCopy(writer)}) {
        QCOMPARE(reader.readInteger(Setting::Left), -191);
        QCOMPARE(reader.readInteger(Setting::Top), 0);
        QCOMPARE(reader.readInteger(Setting::VLeft), 2147483647);
        QCOMPARE(reader.readInteger(Setting::VTop), -2147483647 - 1);
        QCOMPARE(reader.readBoolean(Setting::WView), false);
        QCOMPARE(reader.readBoolean(Setting::AutoSave), true);
        QCOMPARE(reader.readText(Setting::Dir), QDir::homePath());
    }
}

void SettingsKeyTest::editBetweenAccessesIsSeen()
{
    const SettingsKey key;
    key.ensureKey();
    QCOMPARE(key.readInteger(Setting::Left), 0);
    writeFile(key.path(), "[General]\nLeft=1234\n");
    QCOMPARE(key.readInteger(Setting::Left), 1234);
    QCOMPARE(errorOf([&] { (void)key.readInteger(Setting::Top); }), QStringLiteral("Failed to get data for 'Top'"));
}

void SettingsKeyTest::deleteRemovesKey()
{
    const SettingsKey key;
    key.ensureKey();
    key.writeInteger(Setting::VLeft, 7);
    key.deleteKey();
    QVERIFY(!QFile::exists(key.path()));
    key.deleteKey(); // already missing: silent
    QVERIFY(!key.tryOpen());
    // What the viewer's creation and the exit meet when the key is gone.
    QCOMPARE(errorOf([&] { (void)key.readInteger(Setting::VLeft); }), QStringLiteral("Failed to get data for 'VLeft'"));
    key.ensureKey();
    QCOMPARE(key.readInteger(Setting::VLeft), 550);
}

void SettingsKeyTest::readValues_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("negative") << QByteArray("Left=-7") << Kind::Integer << QVariant(-7);
    QTest::newRow("blanks around") << QByteArray("Left = 42 ") << Kind::Integer << QVariant(42);
    QTest::newRow("bool 0") << QByteArray("Left=0") << Kind::Boolean << QVariant(false);
    QTest::newRow("bool not 0") << QByteArray("Left=-2") << Kind::Boolean << QVariant(true);
    QTest::newRow("text") << QByteArray("Left=12") << Kind::Text << QVariant(QStringLiteral("12"));
    QTest::newRow("missing text") << QByteArray("Top=1") << Kind::Text << QVariant(QString());
}

void SettingsKeyTest::readValues()
{
    QFETCH(QByteArray, text);
    QFETCH(Kind, kind);
    QFETCH(QVariant, expected);
    const SettingsKey key;
    key.ensureKey();
    writeFile(key.path(), "[General]\n" + text + "\n");
    QCOMPARE(readAs(key, kind, Setting::Left), expected);
}

void SettingsKeyTest::readFailures_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("message");
    const QString missing = QStringLiteral("Failed to get data for 'Left'");
    const QString invalid = QStringLiteral("Invalid data type for 'Left'");
    QTest::newRow("missing integer") << QByteArray("Top=1") << Kind::Integer << missing;
    QTest::newRow("missing boolean") << QByteArray("Top=1") << Kind::Boolean << missing;
    QTest::newRow("word") << QByteArray("Left=abc") << Kind::Integer << invalid;
    QTest::newRow("empty") << QByteArray("Left=") << Kind::Integer << invalid;
    QTest::newRow("above 32 bits") << QByteArray("Left=2147483648") << Kind::Integer << invalid;
    QTest::newRow("below 32 bits") << QByteArray("Left=-2147483649") << Kind::Integer << invalid;
    QTest::newRow("hex") << QByteArray("Left=0x10") << Kind::Integer << invalid;
    QTest::newRow("fraction") << QByteArray("Left=1.5") << Kind::Integer << invalid;
    QTest::newRow("list") << QByteArray("Left=1, 2") << Kind::Integer << invalid;
    QTest::newRow("bool as word") << QByteArray("Left=true") << Kind::Boolean << invalid;
    QTest::newRow("bool above 32 bits") << QByteArray("Left=4294967296") << Kind::Boolean << invalid;
    QTest::newRow("text as list") << QByteArray("Left=/a, b") << Kind::Text << invalid;
}

void SettingsKeyTest::readFailures()
{
    QFETCH(QByteArray, text);
    QFETCH(Kind, kind);
    QFETCH(QString, message);
    const SettingsKey key;
    key.ensureKey();
    writeFile(key.path(), "[General]\n" + text + "\n");
    QCOMPARE(errorOf([&] { (void)readAs(key, kind, Setting::Left); }), message);
}

void SettingsKeyTest::dirRoundTrip_data()
{
    QTest::addColumn<QString>("dir");
    QTest::newRow("non-ASCII") << QStringLiteral("/home/Пользователь/Ünïcødé 日本");
    QTest::newRow("commas and quotes") << QStringLiteral("/tmp/a, b \"c\" 'd'");
    QTest::newRow("= ; #") << QStringLiteral("/tmp/x=y;z ;#w");
    QTest::newRow("backslash and section") << QStringLiteral("/tmp/[General]\\x\\");
    QTest::newRow("outer blanks") << QStringLiteral(" /tmp/edge ");
    QTest::newRow("at sign") << QStringLiteral("@Variant(x)");
    QTest::newRow("root") << QStringLiteral("/");
}

void SettingsKeyTest::dirRoundTrip()
{
    QFETCH(QString, dir);
    const SettingsKey key;
    key.ensureKey();
    key.writeText(Setting::Dir, dir);
    key.writeInteger(Setting::Top, 5); // a later write must not mangle the text
    const SettingsKey copy = freshCopy(key);
    QCOMPARE(copy.readText(Setting::Dir), dir);
    QCOMPARE(copy.readInteger(Setting::Top), 5);
    QCOMPARE(key.readText(Setting::Dir), dir);
}

void SettingsKeyTest::createFailures_data()
{
    QTest::addColumn<QString>("obstacle"); // made as a regular file, or as a directory when it ends in "/"
    QTest::addColumn<QString>("configSuffix");
    QTest::newRow("config dir is a file") << QStringLiteral("config") << QString();
    QTest::newRow("parent of config dir is a file") << QStringLiteral("config") << QStringLiteral("/sub");
    QTest::newRow("key path is a directory") << QStringLiteral("config/Tavik PCX Converter.ini/") << QString();
}

void SettingsKeyTest::createFailures()
{
    QFETCH(QString, obstacle);
    QFETCH(QString, configSuffix);
    const QString obstaclePath = dir_->filePath(obstacle);
    if (obstacle.endsWith(QLatin1Char('/')))
        QVERIFY(QDir().mkpath(obstaclePath));
    else
        writeFile(obstaclePath, "not a directory");
    qputenv("XDG_CONFIG_HOME", (configDir() + configSuffix).toUtf8());
    const SettingsKey key;
    QVERIFY(!key.tryOpen());
    QCOMPARE(errorOf([&] { key.ensureKey(); }), QStringLiteral("Failed to create key ") + key.path());
}

void SettingsKeyTest::writeFailsWithoutKeyFile()
{
    const SettingsKey key;
    QCOMPARE(errorOf([&] { key.writeInteger(Setting::Left, 1); }), QStringLiteral("Failed to set data for 'Left'"));
    QVERIFY(!QFile::exists(key.path())); // a write never creates the key
    key.ensureKey();
    key.writeBoolean(Setting::WView, false);
    QVERIFY(QFile::remove(key.path()));
    QVERIFY(QDir().mkdir(key.path()));
    QCOMPARE(errorOf([&] { key.writeText(Setting::Dir, QStringLiteral("/")); }), QStringLiteral("Failed to set data for 'Dir'"));
}

void SettingsKeyTest::writeRepairsHandEditedFile()
{
    const SettingsKey key;
    key.ensureKey();
    writeFile(key.path(), "[General]\nLeft=3\nno equals sign here\n");
    key.writeInteger(Setting::Top, 9);
    const SettingsKey copy = freshCopy(key);
    QCOMPARE(copy.readInteger(Setting::Left), 3);
    QCOMPARE(copy.readInteger(Setting::Top), 9);
}

// Permission bits do not stop root, so as root this runs itself again as "nobody".
void SettingsKeyTest::unprivilegedFailures()
{
    if (geteuid() == 0) {
        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QStringLiteral("setpriv"), {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                                                QStringLiteral("--clear-groups"), QCoreApplication::applicationFilePath(),
                                                QStringLiteral("unprivilegedFailures")});
        QVERIFY2(child.waitForFinished(60000), qPrintable(child.errorString()));
        const QByteArray output = child.readAll();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, output.constData());
        QVERIFY2(output.contains("PASS   : SettingsKeyTest::unprivilegedFailures()"), output.constData());
        return;
    }
    const SettingsKey key;
    key.ensureKey();
    key.writeInteger(Setting::Left, 77);
    QVERIFY(QFile::setPermissions(key.path(), QFile::ReadOwner));
    QVERIFY(!key.tryOpen());
    QCOMPARE(errorOf([&] { key.writeInteger(Setting::Top, 5); }), QStringLiteral("Failed to set data for 'Top'"));
    QCOMPARE(errorOf([&] { key.ensureKey(); }), QStringLiteral("Failed to create key ") + key.path());
    // Unopenable with full rights, the key has no values to read.
    QCOMPARE(errorOf([&] { (void)key.readInteger(Setting::Left); }), QStringLiteral("Failed to get data for 'Left'"));
    QCOMPARE(key.readText(Setting::Dir), QString());
    QVERIFY(QFile::setPermissions(key.path(), QFile::ReadOwner | QFile::WriteOwner));
    QCOMPARE(key.readInteger(Setting::Left), 77); // written before the failure: kept
    QCOMPARE(key.readInteger(Setting::Top), 0);   // the refused value is not seen

    // A key directory that takes no new files: the key cannot be written, nor made.
    const auto restore = qScopeGuard([&] { QFile::setPermissions(configDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); });
    QVERIFY(QFile::setPermissions(configDir(), QFile::ReadOwner | QFile::ExeOwner));
    QVERIFY(!key.tryOpen());
    QCOMPARE(errorOf([&] { key.writeBoolean(Setting::WView, false); }), QStringLiteral("Failed to set data for 'WView'"));
    QCOMPARE(errorOf([&] { key.ensureKey(); }), QStringLiteral("Failed to create key ") + key.path());
    QVERIFY(QFile::setPermissions(configDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QCOMPARE(key.readBoolean(Setting::WView), true);
    QVERIFY(QFile::remove(key.path()));
    QVERIFY(QFile::setPermissions(configDir(), QFile::ReadOwner | QFile::ExeOwner));
    QCOMPARE(errorOf([&] { key.ensureKey(); }), QStringLiteral("Failed to create key ") + key.path());
    QVERIFY(!QFile::exists(key.path()));
}

QTEST_GUILESS_MAIN(SettingsKeyTest)
#include "settings_key_test.moc"
