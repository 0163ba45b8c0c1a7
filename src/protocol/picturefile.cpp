#include "protocol/picturefile.h"

#include "protocol/arguments.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QStringList>
#include <QtEndian>

#include <algorithm>
#include <optional>

namespace lumivor::protocol {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("lumivor::protocol::PictureFile", text);
}

using Problem = PictureRead::Problem;

// Formats without a reader for a part of the picture are read whole, up to
// this many pixels (64 MB at four bytes each).
constexpr qint64 wholePictureLimit = 16'000'000;

QRect cornerOf(QSize size)
{
    return QRect(0, 0, std::min(size.width(), screenWidth), std::min(size.height(), screenHeight));
}

PictureRead damaged(const QString& name, const QString& why)
{
    return PictureRead::refused(Problem::Corrupt,
                                tr("%1 is damaged or cut short: %2").arg(name, why));
}

PictureRead picked(QImage corner, QSize size)
{
    PictureRead read;
    read.image = std::move(corner);
    read.size = size;
    return read;
}

// ---- a byte stream over a device, read in chunks ----

class ByteStream
{
public:
    explicit ByteStream(QIODevice& device) : device_(device) {}

    std::optional<quint8> next()
    {
        if (at_ == chunk_.size()) {
            chunk_ = device_.read(64 * 1024);
            at_ = 0;
            if (chunk_.isEmpty())
                return std::nullopt;
        }
        return static_cast<quint8>(chunk_[at_++]);
    }
    bool skip(qint64 count)
    {
        const qint64 buffered = std::min<qint64>(count, chunk_.size() - at_);
        at_ += buffered;
        count -= buffered;
        if (count == 0)
            return true;
        const qint64 target = device_.pos() + count;
        return target <= device_.size() && device_.seek(target);
    }

private:
    QIODevice& device_;
    QByteArray chunk_;
    qsizetype at_ = 0;
};

// ---- JPEG ----

// A JPEG is complete when its markers lead, through every segment and the
// compressed data, to the end-of-image marker FF D9. Only the markers are
// read, so this costs no memory whatever the picture's size.
std::optional<QString> jpegCutShort(QIODevice& device)
{
    const QString cutShort = tr("it ends before its end-of-image marker");
    if (!device.seek(2))
        return cutShort;
    ByteStream bytes(device);
    std::optional<quint8> marker;
    for (;;) {
        if (!marker) {
            std::optional<quint8> byte = bytes.next();
            if (!byte)
                return cutShort;
            if (*byte != 0xFF)
                return tr("a byte 0x%1 stands where a marker belongs")
                    .arg(*byte, 2, 16, QLatin1Char('0'));
            do
                byte = bytes.next();
            while (byte && *byte == 0xFF);
            if (!byte)
                return cutShort;
            marker = byte;
        }
        const quint8 code = *marker;
        marker.reset();
        if (code == 0xD9)
            return std::nullopt;
        if ((code >= 0xD0 && code <= 0xD7) || code == 0x01)
            continue; // markers without a segment
        const auto high = bytes.next();
        const auto low = bytes.next();
        if (!high || !low)
            return cutShort;
        const int length = (*high << 8) | *low;
        if (length < 2 || !bytes.skip(length - 2))
            return cutShort;
        if (code != 0xDA)
            continue;
        // Compressed data follows a scan header up to the next marker that is
        // neither a stuffed FF 00 nor a restart marker.
        for (;;) {
            std::optional<quint8> byte = bytes.next();
            if (!byte)
                return cutShort;
            if (*byte != 0xFF)
                continue;
            do
                byte = bytes.next();
            while (byte && *byte == 0xFF);
            if (!byte)
                return cutShort;
            if (*byte != 0x00 && (*byte < 0xD0 || *byte > 0xD7)) {
                marker = byte;
                break;
            }
        }
    }
}

// Warnings the image readers print while one picture is read (libjpeg's
// "Premature end of JPEG file", say): a picture read with them is damaged.
class ReaderWarnings
{
public:
    ReaderWarnings() { previous_ = qInstallMessageHandler(&ReaderWarnings::handle); }
    ~ReaderWarnings() { qInstallMessageHandler(previous_); }
    ReaderWarnings(const ReaderWarnings&) = delete;
    ReaderWarnings& operator=(const ReaderWarnings&) = delete;

    static QStringList& heard()
    {
        static QStringList messages;
        return messages;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (type == QtWarningMsg && context.category &&
            QLatin1String(context.category).startsWith(QLatin1String("qt.gui.imageio"))) {
            heard().append(message);
            return;
        }
        if (previous_)
            previous_(type, context, message);
    }
    static inline QtMessageHandler previous_ = nullptr;
};

PictureRead readWithQt(QIODevice& device, const QString& name, const QByteArray& format)
{
    if (!device.seek(0))
        return damaged(name, device.errorString());
    QImageReader reader(&device, format);
    reader.setDecideFormatFromContent(format.isEmpty());
    if (!reader.canRead())
        return PictureRead::refused(
            Problem::NotAPicture,
            tr("%1 is not a picture (BMP, JPEG, PNG or another format the console reads).")
                .arg(name));
    const QSize size = reader.size();
    if (reader.supportsOption(QImageIOHandler::ClipRect) && size.isValid())
        reader.setClipRect(cornerOf(size));
    else if (size.isValid() && qint64(size.width()) * size.height() > wholePictureLimit)
        return PictureRead::refused(
            Problem::TooLarge,
            tr("%1 is too large to read: %2 x %3 pixels in a format that is read whole (at most "
               "%4 million pixels); save it as PNG, BMP or JPEG, which are read in any size.")
                .arg(name)
                .arg(size.width())
                .arg(size.height())
                .arg(wholePictureLimit / 1'000'000));
    ReaderWarnings::heard().clear();
    QImage image;
    {
        const ReaderWarnings warnings;
        image = reader.read();
    }
    if (image.isNull())
        return damaged(name, reader.errorString());
    if (!ReaderWarnings::heard().isEmpty())
        return damaged(name, ReaderWarnings::heard().constFirst());
    return picked(image.copy(cornerOf(image.size())), size.isValid() ? size : image.size());
}

PictureRead readJpegCorner(QIODevice& device, const QString& name)
{
    if (const std::optional<QString> why = jpegCutShort(device))
        return damaged(name, *why);
    return readWithQt(device, name, "jpeg");
}

// ---- BMP ----

struct BmpLayout
{
    qint64 dataOffset = 0;
    int headerSize = 0; // of the info header
    qint64 width = 0;
    qint64 height = 0; // negative: the rows run top down
    int bitsPerPixel = 0;
    quint32 compression = 0;

    qint64 rows() const { return height < 0 ? -height : height; }
    qint64 stride() const { return (width * bitsPerPixel + 31) / 32 * 4; }
    // Rows stored as they are (no run-length or embedded compression).
    bool plainRows() const { return compression == 0 || compression == 3 || compression == 6; }
};

template<typename T> T littleEndian(const QByteArray& bytes, int at)
{
    return qFromLittleEndian<T>(bytes.constData() + at);
}

std::optional<BmpLayout> bmpLayout(const QByteArray& head, QString& why)
{
    if (head.size() < 18) {
        why = tr("its header is cut short");
        return std::nullopt;
    }
    BmpLayout layout;
    layout.dataOffset = littleEndian<quint32>(head, 10);
    layout.headerSize = int(littleEndian<quint32>(head, 14));
    const bool core = layout.headerSize == 12;
    if ((!core && layout.headerSize < 40) || head.size() < 14 + (core ? 12 : 40)) {
        why = tr("its header is cut short or of an unknown kind");
        return std::nullopt;
    }
    layout.width = core ? littleEndian<quint16>(head, 18) : littleEndian<qint32>(head, 18);
    layout.height = core ? littleEndian<qint16>(head, 20) : littleEndian<qint32>(head, 22);
    layout.bitsPerPixel = littleEndian<quint16>(head, core ? 24 : 28);
    layout.compression = core ? 0 : littleEndian<quint32>(head, 30);
    static constexpr int depths[] = {1, 4, 8, 16, 24, 32};
    if (layout.width <= 0 || layout.height == 0 ||
        std::find(std::begin(depths), std::end(depths), layout.bitsPerPixel) == std::end(depths)) {
        why = tr("its header gives %1 x %2 pixels of %3 bits")
                  .arg(layout.width)
                  .arg(layout.height)
                  .arg(layout.bitsPerPixel);
        return std::nullopt;
    }
    if (layout.dataOffset < 14 + layout.headerSize) {
        why = tr("its pixel data would start inside its header");
        return std::nullopt;
    }
    return layout;
}

// The top-left corner of a BMP with plain rows, as a small BMP of its own: the
// headers and colour table as they are, the size changed, and only the rows
// and bytes the corner needs. Qt's reader then decodes every bit depth and
// colour mask as usual, from a few kilobytes.
QByteArray bmpCornerFile(QIODevice& device, const BmpLayout& layout, const QRect& corner)
{
    // Everything a reader uses before the pixels: headers, colour masks and
    // at most 256 colours; a gap before the pixels is left out.
    const qint64 headerBytes = std::min<qint64>(layout.dataOffset, 14 + layout.headerSize + 16 + 4 * 256);
    device.seek(0);
    QByteArray file = device.read(headerBytes);
    const qint64 stride = (qint64(corner.width()) * layout.bitsPerPixel + 31) / 32 * 4;
    const qint64 needed = (qint64(corner.width()) * layout.bitsPerPixel + 7) / 8;
    const bool core = layout.headerSize == 12;
    const qint64 height = layout.height < 0 ? -corner.height() : corner.height();
    if (core) {
        qToLittleEndian<quint16>(quint16(corner.width()), file.data() + 18);
        qToLittleEndian<qint16>(qint16(height), file.data() + 20);
    } else {
        qToLittleEndian<qint32>(qint32(corner.width()), file.data() + 18);
        qToLittleEndian<qint32>(qint32(height), file.data() + 22);
        qToLittleEndian<quint32>(quint32(stride * corner.height()), file.data() + 34);
    }
    qToLittleEndian<quint32>(quint32(file.size()), file.data() + 10);
    // Stored bottom up, the picture's top rows are the file's last ones.
    const qint64 firstRow = layout.height < 0 ? 0 : layout.rows() - corner.height();
    for (int row = 0; row < corner.height(); ++row) {
        device.seek(layout.dataOffset + (firstRow + row) * layout.stride());
        QByteArray bytes = device.read(needed);
        bytes.resize(stride, '\0');
        file += bytes;
    }
    qToLittleEndian<quint32>(quint32(file.size()), file.data() + 2);
    return file;
}

PictureRead readBmpCorner(QIODevice& device, const QString& name)
{
    device.seek(0);
    QString why;
    const std::optional<BmpLayout> layout = bmpLayout(device.read(14 + 40), why);
    if (!layout)
        return damaged(name, why);
    if (!layout->plainRows())
        return readWithQt(device, name, "bmp"); // run-length rows: read whole
    const qint64 dataEnd = layout->dataOffset + layout->stride() * layout->rows();
    if (device.size() < dataEnd)
        return damaged(name, tr("its %1 x %2 pixels need %3 bytes, and the file holds %4")
                                 .arg(layout->width)
                                 .arg(layout->rows())
                                 .arg(dataEnd)
                                 .arg(device.size()));
    const QSize size(int(std::min<qint64>(layout->width, INT_MAX)),
                     int(std::min<qint64>(layout->rows(), INT_MAX)));
    QByteArray corner = bmpCornerFile(device, *layout, cornerOf(size));
    QBuffer buffer(&corner);
    buffer.open(QIODevice::ReadOnly);
    PictureRead read = readWithQt(buffer, name, "bmp");
    read.size = size;
    return read;
}

} // namespace

PictureRead PictureRead::refused(Problem kind, QString problem)
{
    PictureRead read;
    read.kind = kind;
    read.problem = std::move(problem);
    return read;
}

PictureRead readPicture(QIODevice& device, const QString& name)
{
    if (device.size() == 0)
        return PictureRead::refused(Problem::Empty, tr("%1 is empty.").arg(name));
    device.seek(0);
    const QByteArray head = device.peek(8);
    if (head.startsWith("BM"))
        return readBmpCorner(device, name);
    if (head.startsWith("\x89PNG\r\n\x1a\n"))
        return detail::readPngCorner(device, name);
    if (head.startsWith("\xff\xd8\xff"))
        return readJpegCorner(device, name);
    return readWithQt(device, name, {});
}

PictureRead readPicture(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return PictureRead::refused(Problem::Missing, tr("%1 does not exist.").arg(path));
    if (info.isDir())
        return PictureRead::refused(Problem::Unreadable, tr("%1 is a folder.").arg(path));
    if (!info.isFile())
        return PictureRead::refused(Problem::NotAPicture,
                                    tr("%1 is not a file (it is a device or a pipe).").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return PictureRead::refused(Problem::Unreadable,
                                    tr("%1 cannot be opened (%2).").arg(path, file.errorString()));
    return readPicture(file, path);
}

} // namespace lumivor::protocol
