// A PNG's top-left corner, read a row at a time with libpng: Qt's own reader
// decodes the whole picture at once, which for 20000 x 20000 pixels needs more
// memory than the allocation limit allows.
#include "protocol/arguments.h"
#include "protocol/picturefile.h"

#include <QCoreApplication>
#include <QtEndian>

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <vector>

namespace lumivor::protocol::detail {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("lumivor::protocol::PictureFile", text);
}

// Rows kept whole for an interlaced picture (its passes fill them in turn):
// beyond this the corner would cost more than the picture is worth.
constexpr qint64 interlacedRowsLimit = 64 * 1024 * 1024;

// ---- the chunk walk: every chunk whole, its check sum right, ending in IEND ----

std::optional<QString> chunksCutShortOrDamaged(QIODevice& device)
{
    const QString cutShort = tr("it ends before its last chunk (IEND)");
    if (!device.seek(8))
        return cutShort;
    QByteArray buffer;
    for (;;) {
        const QByteArray head = device.read(8);
        if (head.size() < 8)
            return cutShort;
        const quint32 length = qFromBigEndian<quint32>(head.constData());
        if (length > 0x7FFFFFFFu)
            return tr("a chunk claims %1 bytes").arg(length);
        uLong crc = crc32(0, reinterpret_cast<const Bytef*>(head.constData() + 4), 4);
        for (quint32 left = length; left > 0;) {
            buffer = device.read(std::min<quint32>(left, 64 * 1024));
            if (buffer.isEmpty())
                return cutShort;
            crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer.constData()), uInt(buffer.size()));
            left -= quint32(buffer.size());
        }
        const QByteArray stored = device.read(4);
        if (stored.size() < 4)
            return cutShort;
        if (qFromBigEndian<quint32>(stored.constData()) != quint32(crc))
            return tr("the check sum of its %1 chunk is wrong").arg(QString::fromLatin1(head.mid(4, 4)));
        if (head.mid(4, 4) == "IEND")
            return std::nullopt;
    }
}

// ---- libpng, whose errors come back by longjmp ----

// Lives across the longjmp: plain data only, owned by the caller.
struct PngSource
{
    QIODevice* device = nullptr;
    char error[200] = {};
};

void readFromDevice(png_structp png, png_bytep data, png_size_t length)
{
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (source->device->read(reinterpret_cast<char*>(data), qint64(length)) != qint64(length))
        png_error(png, "the file ends early");
}

void onError(png_structp png, png_const_charp message)
{
    auto* source = static_cast<PngSource*>(png_get_error_ptr(png));
    qstrncpy(source->error, message, sizeof source->error);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp)
{
    // Ancillary trouble (a colour profile, a text chunk): the pixels are fine.
}

struct PngHeader
{
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int passes = 1;
    png_size_t rowBytes = 0;
};

// Reads the header and sets the rows up as 8-bit RGBA, whatever the file holds.
bool readHeader(png_structp png, png_infop info, PngHeader* header)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
    png_read_info(png, info);
    header->width = png_get_image_width(png, info);
    header->height = png_get_image_height(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    header->passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    header->rowBytes = png_get_rowbytes(png, info);
    return true;
}

// The next row of a plain (not interlaced) picture.
bool readRow(png_structp png, png_bytep row)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_row(png, row, nullptr);
    return true;
}

// Every pass of an interlaced picture: row y goes into rows[y] for the rows
// kept (each pass adds its pixels to what the earlier ones left there), the
// others into scratch.
bool readPasses(png_structp png, const PngHeader* header, png_bytep* rows, png_uint_32 kept,
                png_bytep scratch)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    for (int pass = 0; pass < header->passes; ++pass)
        for (png_uint_32 y = 0; y < header->height; ++y)
            png_read_row(png, y < kept ? rows[y] : scratch, nullptr);
    return true;
}

} // namespace

PictureRead readPngCorner(QIODevice& device, const QString& name)
{
    const auto damaged = [&name](const QString& why) {
        return PictureRead::refused(PictureRead::Problem::Corrupt,
                                    tr("%1 is damaged or cut short: %2").arg(name, why));
    };
    if (const std::optional<QString> why = chunksCutShortOrDamaged(device))
        return damaged(*why);
    device.seek(0);

    PngSource source;
    source.device = &device;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, onError, onWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return damaged(tr("there is no memory to read it"));
    }
    png_set_read_fn(png, &source, readFromDevice);

    PictureRead result;
    PngHeader header;
    if (!readHeader(png, info, &header)) {
        result = damaged(QString::fromLatin1(source.error));
    } else {
        const int cornerWidth = int(std::min<png_uint_32>(header.width, screenWidth));
        const png_uint_32 cornerRows = std::min<png_uint_32>(header.height, screenHeight);
        // An interlaced picture fills its rows over seven passes: the corner's
        // rows are kept whole; a plain one needs one row at a time, and only
        // the corner's rows are decoded (the chunk walk has checked the rest).
        const bool interlaced = header.passes > 1;
        if (interlaced && qint64(header.rowBytes) * cornerRows > interlacedRowsLimit) {
            png_destroy_read_struct(&png, &info, nullptr);
            return PictureRead::refused(
                PictureRead::Problem::TooLarge,
                tr("%1 is too large to read: an interlaced PNG %2 pixels wide; save it without "
                   "interlacing.")
                    .arg(name)
                    .arg(header.width));
        }
        QByteArray scratch(qsizetype(header.rowBytes), '\0');
        QImage corner(cornerWidth, int(cornerRows), QImage::Format_RGBA8888);
        bool read = true;
        if (interlaced) {
            std::vector<QByteArray> kept(cornerRows);
            std::vector<png_bytep> rows(cornerRows);
            for (png_uint_32 y = 0; y < cornerRows; ++y) {
                kept[y] = QByteArray(qsizetype(header.rowBytes), '\0');
                rows[y] = reinterpret_cast<png_bytep>(kept[y].data());
            }
            read = readPasses(png, &header, rows.data(), cornerRows,
                              reinterpret_cast<png_bytep>(scratch.data()));
            for (png_uint_32 y = 0; read && y < cornerRows; ++y)
                std::copy_n(kept[y].constData(), 4 * cornerWidth, corner.scanLine(int(y)));
        } else {
            for (png_uint_32 y = 0; read && y < cornerRows; ++y) {
                read = readRow(png, reinterpret_cast<png_bytep>(scratch.data()));
                std::copy_n(scratch.constData(), 4 * cornerWidth, corner.scanLine(int(y)));
            }
        }
        if (read && !corner.isNull()) {
            result.image = corner;
            result.size = QSize(int(std::min<png_uint_32>(header.width, INT_MAX)),
                                int(std::min<png_uint_32>(header.height, INT_MAX)));
        } else {
            result = damaged(QString::fromLatin1(source.error));
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return result;
}

} // namespace lumivor::protocol::detail
