#include "link/partfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <utility>

#ifdef Q_OS_WIN
#include <filesystem>
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lumivor::link {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("lumivor::link::PartFile", text);
}

// What the system said, in its own words ("No space left on device").
QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString folderOf(const QString& path)
{
    return QFileInfo(path).absolutePath();
}

#ifndef Q_OS_WIN

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

// The text of a symbolic link, as a path from where the link lies.
std::optional<QString> linkTarget(const QString& link)
{
    char buffer[4096];
    const ssize_t length = ::readlink(native(link).constData(), buffer, sizeof buffer);
    if (length <= 0 || std::size_t(length) >= sizeof buffer)
        return std::nullopt;
    const QString text = QFile::decodeName(QByteArray(buffer, int(length)));
    return QDir::cleanPath(QDir(folderOf(link)).absoluteFilePath(text));
}

bool isSymbolicLink(const QString& path)
{
    struct stat info{};
    return ::lstat(native(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

// Flushes a folder's entries (a rename in it) to the disk.
void syncFolder(const QString& folder)
{
    const int fd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

#endif

} // namespace

QString fileBehindLinks(const QString& path)
{
#ifdef Q_OS_WIN
    return path;
#else
    QString current = path;
    // As many links as the system itself follows before it gives up.
    for (int hops = 0; hops < 40 && isSymbolicLink(current); ++hops) {
        const std::optional<QString> next = linkTarget(current);
        if (!next)
            break;
        current = *next;
    }
    return current;
#endif
}

std::optional<QString> unwritableTarget(const QString& path)
{
    if (path.isEmpty())
        return tr("No file name was given.");
    const QString file = fileBehindLinks(path);
    const QFileInfo info(file);
    if (info.isDir())
        return tr("%1 is a folder, not a file.").arg(path);
    if (info.exists() && !info.isFile())
        return tr("%1 is not a regular file.").arg(path);
    const QString folder = folderOf(file);
    const QFileInfo folderInfo(folder);
    if (!folderInfo.exists())
        return tr("The folder %1 does not exist.").arg(folder);
    if (!folderInfo.isDir())
        return tr("%1 is not a folder.").arg(folder);
#ifndef Q_OS_WIN
    if (info.exists() && ::access(native(file).constData(), W_OK) != 0)
        return tr("%1 cannot be replaced (%2).").arg(path, systemReason(errno));
    if (::access(native(folder).constData(), W_OK | X_OK) != 0)
        return tr("No file can be created in the folder %1 (%2).").arg(folder, systemReason(errno));
#else
    if (info.exists() && !info.isWritable())
        return tr("%1 is read-only.").arg(path);
#endif
    return std::nullopt;
}

std::optional<QString> writeWholeFile(const QString& path, QByteArrayView bytes)
{
    PartFile file(path);
    std::optional<QString> failure = file.open();
    if (!failure)
        failure = file.writeAt(0, bytes);
    if (!failure)
        failure = file.commit();
    if (failure)
        file.discard();
    return failure;
}

PartFile::PartFile(QString targetPath) : targetPath_(std::move(targetPath))
{
    finalPath_ = fileBehindLinks(targetPath_);
}

PartFile::~PartFile()
{
    close();
}

#ifndef Q_OS_WIN

bool PartFile::isOpen() const
{
    return fd_ >= 0;
}

std::optional<QString> PartFile::open()
{
    close();
    if (const std::optional<QString> why = unwritableTarget(targetPath_))
        return why;
    finalPath_ = fileBehindLinks(targetPath_);
    targetExisted_ = QFileInfo::exists(finalPath_);
    const QByteArray part = native(partPath());
    // O_EXCL never opens what is already there, a link least of all; a plain
    // file left by an earlier run is removed first, anything else is refused.
    for (int attempt = 0; attempt < 2; ++attempt) {
        fd_ = ::open(part.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        created_ = fd_ >= 0;
        if (fd_ >= 0)
            return std::nullopt;
        if (errno != EEXIST || attempt > 0)
            break;
        struct stat leftover{};
        if (::lstat(part.constData(), &leftover) != 0 || !S_ISREG(leftover.st_mode))
            return tr("%1 already exists and is not a plain file (it is a link, a folder or a "
                      "device); it was left as it is: remove it, or choose another name.")
                .arg(partPath());
        if (::unlink(part.constData()) != 0)
            return tr("%1 is left from an earlier run and cannot be removed (%2).")
                .arg(partPath(), systemReason(errno));
    }
    return tr("%1 cannot be created (%2).").arg(partPath(), systemReason(errno));
}

std::optional<QString> PartFile::writeAt(qint64 offset, QByteArrayView bytes)
{
    if (fd_ < 0)
        return tr("%1 is not open for writing.").arg(partPath());
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written =
            ::pwrite(fd_, bytes.data() + done, std::size_t(bytes.size() - done), off_t(offset + done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return tr("%1 cannot be written (%2).")
                .arg(partPath(), systemReason(written < 0 ? errno : ENOSPC));
        done += written;
    }
    return std::nullopt;
}

std::optional<QString> PartFile::commit()
{
    if (fd_ < 0)
        return tr("%1 is not open for writing.").arg(partPath());
    struct stat target{};
    if (::stat(native(finalPath_).constData(), &target) == 0) {
        ::fchmod(fd_, target.st_mode & 07777);
        if (target.st_uid != ::geteuid() || target.st_gid != ::getegid()) {
            // Only the superuser may give a file away; anyone else keeps it.
            [[maybe_unused]] const int given = ::fchown(fd_, target.st_uid, target.st_gid);
        }
    }
    const bool synced = ::fsync(fd_) == 0;
    const int syncError = errno;
    const bool closed = ::close(fd_) == 0;
    const int closeError = errno;
    fd_ = -1;
    if (!synced || !closed)
        return tr("%1 cannot be written (%2).")
            .arg(partPath(), systemReason(!synced ? syncError : closeError));
    if (::rename(native(partPath()).constData(), native(finalPath_).constData()) != 0)
        return tr("%1 could not replace %2 (%3).").arg(partPath(), finalPath_, systemReason(errno));
    created_ = false;
    syncFolder(folderOf(finalPath_));
    return std::nullopt;
}

void PartFile::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void PartFile::discard()
{
    close();
    if (std::exchange(created_, false))
        ::unlink(native(partPath()).constData());
}

#else // Windows: the same rules with Qt's files

bool PartFile::isOpen() const
{
    return file_ && file_->isOpen();
}

std::optional<QString> PartFile::open()
{
    close();
    if (const std::optional<QString> why = unwritableTarget(targetPath_))
        return why;
    targetExisted_ = QFileInfo::exists(finalPath_);
    const QFileInfo leftover(partPath());
    if (leftover.exists() || leftover.isSymLink()) {
        if (!leftover.isFile() || leftover.isSymLink())
            return tr("%1 already exists and is not a plain file (it is a link, a folder or a "
                      "device); it was left as it is: remove it, or choose another name.")
                .arg(partPath());
        if (!QFile::remove(partPath()))
            return tr("%1 is left from an earlier run and cannot be removed.").arg(partPath());
    }
    file_ = new QFile(partPath());
    if (!file_->open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return tr("%1 cannot be created (%2).").arg(partPath(), file_->errorString());
    created_ = true;
    return std::nullopt;
}

std::optional<QString> PartFile::writeAt(qint64 offset, QByteArrayView bytes)
{
    if (!isOpen() || !file_->seek(offset) ||
        file_->write(bytes.data(), bytes.size()) != bytes.size() || !file_->flush())
        return tr("%1 cannot be written (%2).")
            .arg(partPath(), file_ ? file_->errorString() : QString());
    return std::nullopt;
}

std::optional<QString> PartFile::commit()
{
    if (!isOpen())
        return tr("%1 is not open for writing.").arg(partPath());
    if (QFileInfo::exists(finalPath_))
        file_->setPermissions(QFile::permissions(finalPath_));
    const bool synced = file_->flush() && ::_commit(file_->handle()) == 0;
    const QString reason = file_->errorString();
    close();
    if (!synced)
        return tr("%1 cannot be written (%2).").arg(partPath(), reason);
    std::error_code error;
    std::filesystem::rename(partPath().toStdWString(), finalPath_.toStdWString(), error);
    if (error)
        return tr("%1 could not replace %2 (%3).")
            .arg(partPath(), finalPath_, QString::fromLocal8Bit(error.message()));
    created_ = false;
    return std::nullopt;
}

void PartFile::close()
{
    if (file_)
        file_->close();
    delete file_;
    file_ = nullptr;
}

void PartFile::discard()
{
    close();
    if (std::exchange(created_, false))
        QFile::remove(partPath());
}

#endif

} // namespace lumivor::link
