#include "link/flashfile.h"

#include "protocol/flashimage.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace lumivor::link {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("lumivor::link::FlashFile", text);
}

std::filesystem::path filesystemPath(const QString& path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

// Puts the file's contents on the disk, not only in the system's cache, so a
// rename that survives a power cut never points at missing data.
bool syncToDisk(QFile& file)
{
    if (!file.flush())
        return false;
#ifdef Q_OS_WIN
    return ::_commit(file.handle()) == 0;
#else
    return ::fsync(file.handle()) == 0;
#endif
}

} // namespace

std::optional<QString> replaceFile(const QString& from, const QString& to)
{
    std::error_code error;
    std::filesystem::rename(filesystemPath(from), filesystemPath(to), error);
    if (!error)
        return std::nullopt;
    return tr("%1 could not replace %2 (%3).")
        .arg(from, to, QString::fromLocal8Bit(error.message()));
}

FlashPartFile::FlashPartFile(QString targetPath) : targetPath_(std::move(targetPath)) {}

FlashPartFile::~FlashPartFile()
{
    abandon();
}

std::optional<QString> FlashPartFile::begin()
{
    targetExisted_ = QFileInfo::exists(targetPath_);
    part_.setFileName(partPath());
    if (!part_.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return tr("%1 cannot be created (%2).").arg(partPath(), part_.errorString());
    return std::nullopt;
}

// Each block goes to the system at once, so a console that is stopped in
// any way leaves every block it had received in the part file.
std::optional<QString> FlashPartFile::store(int block, QByteArrayView text)
{
    if (!part_.isOpen() || !part_.seek(protocol::blockOffset(block)) ||
        part_.write(text.data(), text.size()) != text.size() || !part_.flush())
        return tr("%1 cannot be written (%2).").arg(partPath(), part_.errorString());
    return std::nullopt;
}

std::optional<QString> FlashPartFile::finish()
{
    if (!part_.isOpen() || !syncToDisk(part_)) {
        const QString reason = part_.errorString();
        part_.close();
        return tr("%1 cannot be written (%2).").arg(partPath(), reason);
    }
    part_.close();
    return replaceFile(partPath(), targetPath_);
}

void FlashPartFile::abandon()
{
    if (part_.isOpen())
        part_.close();
}

protocol::FlashConversion FlashImageFile::load()
{
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly))
        return protocol::FlashConversion::refused(
            tr("It cannot be opened (%1).").arg(file.errorString()));
    const QByteArray bytes = file.read(protocol::flashFileBytes);
    if (file.error() != QFileDevice::NoError)
        return protocol::FlashConversion::refused(
            tr("It cannot be read (%1).").arg(file.errorString()));
    return protocol::decodeFlashFile(bytes);
}

} // namespace lumivor::link
