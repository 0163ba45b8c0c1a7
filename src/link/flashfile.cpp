#include "link/flashfile.h"

#include "protocol/flashimage.h"

#include <QCoreApplication>
#include <QFile>

namespace lumivor::link {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("lumivor::link::FlashFile", text);
}

} // namespace

// Each block goes to the system at once, so a console that is stopped in
// any way leaves every block it had received in the part file.
std::optional<QString> FlashPartFile::store(int block, QByteArrayView text)
{
    return file_.writeAt(protocol::blockOffset(block), text);
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

std::optional<QString> FlashMemorySink::begin()
{
    text_.clear();
    text_.reserve(protocol::flashFileBytes);
    image_.clear();
    return std::nullopt;
}

std::optional<QString> FlashMemorySink::store(int block, QByteArrayView text)
{
    if (text_.size() != protocol::blockOffset(block))
        return tr("Block %1 came out of order.").arg(block);
    text_.append(text);
    return std::nullopt;
}

std::optional<QString> FlashMemorySink::finish()
{
    const protocol::FlashConversion image = protocol::decodeFlashFile(text_);
    text_.clear();
    if (!image.ok())
        return image.reason();
    image_ = image.bytes();
    return std::nullopt;
}

protocol::FlashConversion FlashMemorySource::load()
{
    return protocol::FlashConversion::converted(image_);
}

} // namespace lumivor::link
