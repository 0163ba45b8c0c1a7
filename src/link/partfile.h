#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace lumivor::link {

// A file that replaces its target only once it is complete: written under
// "<target>.part" beside the target, handed to the system piece by piece as
// it comes, and renamed over the target in one step at the end. An
// interrupted writer leaves the target untouched and what it had written in
// the part file.
//
// It never writes where the operator did not ask:
//  - the part file is always created new and exclusively, never opened
//    through a link or into a file that was there before; a part file left
//    by an earlier run is replaced when it is a plain file, and anything else
//    under that name (a link, a folder, a device) is refused and left alone;
//  - a target that is a symbolic link is written through: the file the link
//    names is replaced and the link stays a link, as editors do;
//  - the replaced file keeps its permissions (and, where the system allows,
//    its owner);
//  - a target that can never be written (no name, a folder, a missing or
//    read-only folder, a read-only file) is refused before anything starts.
// Every refusal and failure is a sentence naming the file and, where the
// system said why, its words ("No space left on device").
class PartFile
{
public:
    explicit PartFile(QString targetPath);
    ~PartFile();
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    // The name as the operator gave it, and the file that will be replaced
    // (the target itself, or the file its link names).
    QString targetPath() const { return targetPath_; }
    QString finalPath() const { return finalPath_; }
    QString partPath() const { return finalPath_ + QStringLiteral(".part"); }
    // Whether the file to be replaced existed when the part file was opened.
    bool targetExisted() const { return targetExisted_; }
    bool isOpen() const;

    // Checks the target and creates the part file.
    std::optional<QString> open();
    // Writes at a byte offset of the part file and hands the bytes to the system.
    std::optional<QString> writeAt(qint64 offset, QByteArrayView bytes);
    // Puts the part file on the disk and renames it over the target.
    std::optional<QString> commit();
    // Stops writing; the part file stays as it is.
    void close();
    // Stops writing and removes the part file this object created, if it has
    // not replaced the target yet (nothing is left behind).
    void discard();

private:
    QString targetPath_;
    QString finalPath_;
    bool targetExisted_ = false;
    bool created_ = false; // the part file is ours to remove until it is renamed
#ifdef Q_OS_WIN
    class QFile* file_ = nullptr;
#else
    int fd_ = -1;
#endif
};

// Writes a whole file at once by the same rules: the bytes go into the part
// file, which replaces the target only when it is complete; on any failure
// the part file is removed again and the target is left as it was.
std::optional<QString> writeWholeFile(const QString& path, QByteArrayView bytes);

// Why a file could never be written at `path` (see PartFile), or nothing when
// it can be tried. Nothing is created.
std::optional<QString> unwritableTarget(const QString& path);

// The file a target names: the target itself, or, for a symbolic link, the
// file at the end of its links (which need not exist yet).
QString fileBehindLinks(const QString& path);

} // namespace lumivor::link
