#pragma once

#include "link/flashtransfer.h"
#include "link/partfile.h"

#include <QString>

namespace lumivor::link {

// The backup file of a flash read, written so that it can never damage the
// file it is to replace (see PartFile): the blocks go into "<target>.part"
// beside it, each handed to the operating system as it comes (an interrupted
// read keeps the blocks received so far there), and only after the last
// block is the part file flushed to the disk and renamed over the target. The
// part file is always new, so the result is exactly the 983,040 characters of
// this read.
class FlashPartFile final : public FlashSink
{
public:
    explicit FlashPartFile(QString targetPath) : file_(std::move(targetPath)) {}

    QString targetPath() const { return file_.targetPath(); }
    QString partPath() const { return file_.partPath(); }
    // Whether the target existed when the read began.
    bool targetExisted() const { return file_.targetExisted(); }

    std::optional<QString> begin() override { return file_.open(); }
    std::optional<QString> store(int block, QByteArrayView text) override;
    std::optional<QString> finish() override { return file_.commit(); }
    void abandon() override { file_.close(); }

private:
    PartFile file_;
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

// A flash read kept in memory (a verify, the flash image window): the blocks
// in order, the image once the last has come.
class FlashMemorySink final : public FlashSink
{
public:
    std::optional<QString> begin() override;
    std::optional<QString> store(int block, QByteArrayView text) override;
    std::optional<QString> finish() override;
    void abandon() override {}

    // The 491,520 bytes of a finished read; empty before.
    QByteArray image() const { return image_; }

private:
    QByteArray text_;
    QByteArray image_;
};

// An image held in memory, to write into the controller.
class FlashMemorySource final : public FlashSource
{
public:
    explicit FlashMemorySource(QByteArray image) : image_(std::move(image)) {}
    protocol::FlashConversion load() override;

private:
    QByteArray image_;
};

} // namespace lumivor::link
