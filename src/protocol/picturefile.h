#pragma once

#include <QIODevice>
#include <QImage>
#include <QSize>
#include <QString>

namespace lumivor::protocol {

// A picture file read for the LCD. A screen uses only the picture's top-left
// 240 x 64 pixels, so only those are kept, from a picture of any size: BMP,
// PNG and JPEG are read a row at a time (a 20000 x 20000 picture needs a few
// megabytes, not gigabytes), other formats whole within a bounded size.
//
// A file that is missing, empty, not a picture, cut short or damaged is
// refused with a sentence that names it and says why; a picture that reads
// only in part is never taken for a whole one.
struct PictureRead
{
    enum class Problem {
        None,
        Missing,     // no such file
        Unreadable,  // it cannot be opened (permission, a folder)
        Empty,       // zero bytes
        NotAPicture, // no picture format recognised
        Corrupt,     // cut short, or its data is damaged
        TooLarge,    // a format read whole, and too big for that
    };

    QImage image; // the top-left corner: at most 240 x 64 pixels
    QSize size;   // the whole picture's size, as its file gives it
    Problem kind = Problem::None;
    QString problem; // for the operator: "<file> is not a picture ..."

    bool ok() const { return kind == Problem::None; }
    static PictureRead refused(Problem kind, QString problem);
};

// The picture in a file, recognised by its content rather than its name (a
// .JPG, or a bitmap named .jpg, loads all the same).
PictureRead readPicture(const QString& path);

// The same from an open, seekable device (a file, or bytes in a buffer);
// `name` is how messages call it.
PictureRead readPicture(QIODevice& device, const QString& name);

namespace detail {
// A PNG's top-left corner, read a row at a time by libpng; the whole stream
// is decoded so that a damaged or cut-short file is told apart.
PictureRead readPngCorner(QIODevice& device, const QString& name);
} // namespace detail

} // namespace lumivor::protocol
