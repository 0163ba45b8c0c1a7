// Reading huge pictures: the time and the peak memory (resident set) of
// readPicture for a 20000 x 20000 PNG and BMP and a 48-megapixel JPEG photo.
// Each is read in a fresh process (this program run with --read FILE), so the
// peak is the reader's own, not what making the file cost.
//   bench_picture_read [FOLDER]   (the pictures are made there, about 60 MB)
#include "protocol/picturefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include <cstdio>
#include <cstring>
#include <zlib.h>

namespace {

QByteArray bigEndian(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

void writeChunk(QFile& file, const char* type, const QByteArray& data)
{
    const QByteArray chunk = QByteArray(type, 4) + data;
    file.write(bigEndian(quint32(data.size())) + chunk);
    file.write(bigEndian(quint32(
        crc32(0, reinterpret_cast<const Bytef*>(chunk.constData()), uInt(chunk.size())))));
}

// A grey, 8-bit PNG of side x side pixels, compressed a row at a time.
void makePng(const QString& path, int side)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("\x89PNG\r\n\x1a\n", 8);
    QByteArray header = bigEndian(quint32(side)) + bigEndian(quint32(side)) + QByteArray(5, '\0');
    header[8] = 8;
    writeChunk(file, "IHDR", header);
    z_stream stream{};
    deflateInit(&stream, 1);
    QByteArray row(side + 1, '\0');
    QByteArray compressed;
    char out[1 << 16];
    for (int y = 0; y < side; ++y) {
        for (int x = 1; x <= side; ++x)
            row[x] = char((x ^ y) & 0xff);
        row[0] = 0;
        stream.next_in = reinterpret_cast<Bytef*>(row.data());
        stream.avail_in = uInt(row.size());
        do {
            stream.next_out = reinterpret_cast<Bytef*>(out);
            stream.avail_out = sizeof out;
            deflate(&stream, y + 1 == side ? Z_FINISH : Z_NO_FLUSH);
            compressed.append(out, int(sizeof out - stream.avail_out));
        } while (stream.avail_out == 0);
        if (compressed.size() > (1 << 20)) {
            writeChunk(file, "IDAT", compressed);
            compressed.clear();
        }
    }
    deflateEnd(&stream);
    writeChunk(file, "IDAT", compressed);
    writeChunk(file, "IEND", {});
}

// A 1-bit BMP of side x side pixels, written a row at a time.
void makeBmp(const QString& path, int side)
{
    const quint32 stride = quint32((side + 31) / 32 * 4);
    const quint32 dataOffset = 14 + 40 + 8;
    QByteArray header(int(dataOffset), '\0');
    auto put32 = [&](int at, quint32 value) { qToLittleEndian(value, header.data() + at); };
    header[0] = 'B';
    header[1] = 'M';
    put32(2, dataOffset + stride * quint32(side));
    put32(10, dataOffset);
    put32(14, 40);
    put32(18, quint32(side));
    put32(22, quint32(side));
    qToLittleEndian(quint16(1), header.data() + 26);
    qToLittleEndian(quint16(1), header.data() + 28);
    put32(58, 0x00ffffff); // palette: black, white
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(header);
    QByteArray row(int(stride), '\x55');
    for (int y = 0; y < side; ++y)
        file.write(row);
}

void makeJpeg(const QString& path)
{
    QImage photo(8000, 6000, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x)
            line[x] = qRgb(x & 0xff, y & 0xff, (x + y) & 0xff);
    }
    photo.save(path, "JPG", 90);
}

// This process's own peak (VmHWM belongs to its memory map, which a new
// program starts afresh; getrusage's figure would carry the parent's over).
double peakResidentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

int readOne(const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    const auto read = lumivor::protocol::readPicture(path);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    std::printf("%-12s %5d x %-5d %s  %8.1f ms  peak resident %6.1f MB\n",
                qPrintable(QFileInfo(path).fileName()), read.size.width(), read.size.height(),
                read.ok() ? "read   " : "REFUSED", ms, peakResidentMegabytes());
    return read.ok() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() == 3 && arguments[1] == "--read")
        return readOne(arguments[2]);

    QTemporaryDir temporary;
    const QString folder = arguments.size() > 1 ? arguments[1] : temporary.path();
    QDir().mkpath(folder);
    const QString png = QDir(folder).filePath("huge.png");
    const QString bmp = QDir(folder).filePath("huge.bmp");
    const QString jpeg = QDir(folder).filePath("photo.jpg");
    makePng(png, 20000);
    makeBmp(bmp, 20000);
    makeJpeg(jpeg);
    int status = 0;
    for (const QString& path : {png, bmp, jpeg}) {
        QProcess reader;
        reader.setProcessChannelMode(QProcess::ForwardedChannels);
        reader.start(application.applicationFilePath(), {"--read", path});
        reader.waitForFinished(-1);
        status |= reader.exitCode();
    }
    return status;
}
