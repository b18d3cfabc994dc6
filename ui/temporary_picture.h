// The preview's temporary picture "temppic.bmp", kept only in a directory that is this user's own
// with mode 0700: the runtime directory when it is such a directory, otherwise a private directory
// made under the system's temporary directory, which goes when this object goes.
#pragma once

#include <QString>

#include <functional>
#include <memory>

class QTemporaryDir;

namespace pcx {
struct PassOutput;
}

class TemporaryPicture {
public:
    TemporaryPicture();
    ~TemporaryPicture();
    TemporaryPicture(const TemporaryPicture &) = delete;
    TemporaryPicture &operator=(const TemporaryPicture &) = delete;

    // The picture's full name; empty while no private directory can be had.
    [[nodiscard]] QString fileName();

    // Has `write` fill a new file and puts it at the picture's name only when complete (see
    // pcx::PlacedFile), so that nothing planted at that name is written through or followed.
    // Returns the picture's name. Throws "Cannot create file NAME" when no private directory can be
    // had; when `write` throws, the new file goes and the previous picture stays.
    QString Write(const std::function<void(const pcx::PassOutput &output)> &write);

    // Deletes the picture; a missing one is no error. Makes no directory for it.
    void Remove();

private:
    // The directory chosen for this run; empty when none can be had (`make` false: none made).
    [[nodiscard]] QString Directory(bool make);

    QString directory_;
    std::unique_ptr<QTemporaryDir> private_;
};
