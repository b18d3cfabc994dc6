// Shared pieces of the window tests: a fresh per-test environment (config, runtime directory, home,
// working directory), the three windows built as the program builds them, a watcher that answers
// and records the modal message boxes, and small helpers that act as the user does.
#pragma once

#include "settings/settings_key.h"
#include "tests/support/def_sprite_maker.h"
#include "tests/support/lod_archive_maker.h"
#include "tests/support/lod_pcx.h"
#include "ui/program_windows.h"

#include <QDir>
#include <QMessageBox>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QVariant>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QAbstractButton;
class QUrl;

namespace uitest {

// What a modal message box showed.
struct BoxRecord {
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text;
    QStringList buttons; // left to right as shown
    QString defaultButton;
    QString escapeButton;
    Qt::WindowModality modality = Qt::NonModal;
};

// Polls for a modal message box; records each one and answers it with the next queued answer (a
// button text, or "Escape" for the Escape key). Without a queued answer the box gets Escape, so an
// unexpected box never hangs a test.
class BoxWatcher : public QObject {
public:
    inline static const QString kEscape = QStringLiteral("Escape");

    BoxWatcher();
    void queue(const QString &answer) { answers_ << answer; }
    [[nodiscard]] const QList<BoxRecord> &boxes() const { return boxes_; }
    [[nodiscard]] QStringList texts() const;

private:
    void poll();

    QTimer timer_;
    QStringList answers_;
    QList<BoxRecord> boxes_;
};

// A fresh environment: XDG_CONFIG_HOME, XDG_RUNTIME_DIR and HOME in a temporary directory, and the
// working directory at `start`. Never the user's real configuration.
class Session {
public:
    Session();
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    [[nodiscard]] QString root() const { return dir_.path(); }
    [[nodiscard]] QString home() const { return root() + QStringLiteral("/home"); }
    [[nodiscard]] QString start() const { return root() + QStringLiteral("/start"); }
    [[nodiscard]] QString runtime() const { return root() + QStringLiteral("/runtime"); }
    [[nodiscard]] QString iniPath() const;

    // Writes the key file with the seven values a first run writes, the named ones replaced by
    // these texts.
    void writeDefaultsWith(const QList<std::pair<pcx::Setting, QString>> &changes) const;
    [[nodiscard]] QVariant setting(pcx::Setting setting) const;

    // A new directory under the session's root.
    [[nodiscard]] QString makeDir(const QString &relative) const;

private:
    QTemporaryDir dir_;
    QString previousCwd_;
};

// The three windows, created as the program's start creates them; only Form1 is shown.
class Windows {
public:
    Windows();
    Windows(const Windows &) = delete;
    Windows &operator=(const Windows &) = delete;

private:
    ProgramWindows windows_;
};

// The program's own look, as its start applies it.
void PrepareApplication();

// The base of every window test: the program's look, then for each test function a fresh session,
// a box watcher and, unless a test builds them itself, the three windows; torn down in the reverse
// order. A test's own files go in dir_, a directory under the session's root that begin makes when
// it is named.
class WindowTestCase : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { PrepareApplication(); }
    void cleanup() { end(); }

protected:
    void begin(bool withWindows = true, const QString &directory = {});
    void end();
    // The three windows, started on the key file of the defaults with these changes.
    void startWith(const QList<std::pair<pcx::Setting, QString>> &settings);
    [[nodiscard]] QString file(const QString &name) const { return QDir(dir_).filePath(name); }
    void enter() const; // lists dir_ in Form1, as entering it does

    std::unique_ptr<Session> session_;
    std::unique_ptr<BoxWatcher> boxes_;
    std::unique_ptr<Windows> windows_;
    QString dir_;
};

[[nodiscard]] std::string Native(const QString &path);
[[nodiscard]] QByteArray Bytes(const pcx::test::Bytes &bytes);
[[nodiscard]] QByteArray FileBytes(const QString &path);
void WriteBytes(const QString &path, const QByteArray &bytes);
// Writes the picture as a LOD PCX file and returns the BMP its conversion must give.
QByteArray WriteLod(const QString &path, const pcx::test::Picture &picture);
// The BMP a conversion of the picture's LOD PCX must give.
[[nodiscard]] QByteArray ExpectedBmp(const pcx::test::Picture &picture);
// An archive entry holding the bytes, packed or stored.
[[nodiscard]] pcx::test::MadeEntry Entry(const std::string &name, const pcx::test::Bytes &data,
                                         pcx::test::Packing packing = pcx::test::Packing::kZlib);
// An archive of the entries; count, when given, is written instead of the number of entries.
void WriteArchive(const QString &path, std::vector<pcx::test::MadeEntry> entries,
                  std::optional<std::uint32_t> count = {});
// The BMP of the frame's canvas, as the converter writes a sprite's frame.
[[nodiscard]] QByteArray FrameBmp(const pcx::test::SpriteDesign &sprite, std::size_t frame);

// User actions on Form1's controls.
bool ClickFile(const QString &name);             // a mouse click on the file list's item
bool ClickDirectory(const QString &path);        // a mouse click on the directory list's entry
void ChooseFilter(int entry);                    // 1-based, by keyboard on FilterComboBox1
void Click(QAbstractButton *button);             // a mouse click on a (tool) button
[[nodiscard]] QStringList ListedFiles();
[[nodiscard]] QStringList Panels();              // the four status panels
void DropPath(QWidget *target, const QString &path); // a drag of the local file, dropped
bool DragTaken(QWidget *target, const QList<QUrl> &urls); // whether the target takes a drag of the URLs
// A drag of the URLs, dropped if the target takes it; whether both the drag and the drop were taken.
bool DropUrls(QWidget *target, const QList<QUrl> &urls);

} // namespace uitest
