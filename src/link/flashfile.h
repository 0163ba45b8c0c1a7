#pragma once

#include "link/flashtransfer.h"

#include <QFile>
#include <QString>

namespace lumivor::link {

// The backup file of a flash read, written so that it can never damage the
// file it is to replace: the blocks go into "<target>.part" beside it, each
// handed to the operating system as it comes (an interrupted read keeps the
// blocks received so far there), and only after the last block is the part
// file flushed to the disk and renamed over the target. A part file left
// from an earlier read is started afresh, so the result is always exactly
// the 983,040 characters of this read.
class FlashPartFile final : public FlashSink
{
public:
    explicit FlashPartFile(QString targetPath);
    ~FlashPartFile() override;

    QString targetPath() const { return targetPath_; }
    QString partPath() const { return targetPath_ + QStringLiteral(".part"); }
    // Whether the target existed when the read began.
    bool targetExisted() const { return targetExisted_; }

    std::optional<QString> begin() override;
    std::optional<QString> store(int block, QByteArrayView text) override;
    std::optional<QString> finish() override;
    void abandon() override;

private:
    QString targetPath_;
    QFile part_;
    bool targetExisted_ = false;
};

// A .fls file to write into the controller: read (its first 983,040 bytes
// are all a flash image uses) and checked in full by the .fls codec.
class FlashImageFile final : public FlashSource
{
public:
    explicit FlashImageFile(QString path) : path_(std::move(path)) {}

    QString path() const { return path_; }
    protocol::FlashConversion load() override;

private:
    QString path_;
};

// Renames `from` over `to`, replacing it in one step where the system allows
// (never deleting `to` first); the reason when it failed.
std::optional<QString> replaceFile(const QString& from, const QString& to);

} // namespace lumivor::link
