// The file side of the flash transfers on a real disk: the part file that
// protects an existing backup, and the loading of a .fls file.
#include "flashcontroller.h"
#include "link/flashfile.h"
#include "protocol/flashimage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace lumivor;

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray blockText(const QByteArray& text, int block)
{
    return text.mid(protocol::blockOffset(block), protocol::flashBlockCharacters);
}

// Stores the first `blocks` blocks of text into the part file.
void storeBlocks(link::FlashPartFile& file, const QByteArray& text, int blocks)
{
    for (int block = 0; block < blocks; ++block)
        QCOMPARE(file.store(block, blockText(text, block)), std::nullopt);
}

} // namespace

class FlashFileTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void aCompleteReadReplacesTheTargetWithExactlyTheImageText();
    void anInterruptedReadKeepsTheOldBackupAndTheBlocksSoFar();
    void aPartFileFromAnEarlierReadStartsAfresh();
    void filesThatCannotBeMadeOrReplacedAreReported();
    void loadingChecksTheWholeFile_data();
    void loadingChecksTheWholeFile();
};

void FlashFileTest::aCompleteReadReplacesTheTargetWithExactlyTheImageText()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("backup.fls"));
    writeFile(target, QByteArray(2'000'000, 'x')); // longer than an image
    const QByteArray text = testing::sampleFlashImage().toHex();

    link::FlashPartFile file(target);
    QCOMPARE(file.begin(), std::nullopt);
    QVERIFY(file.targetExisted());
    QCOMPARE(file.partPath(), target + QStringLiteral(".part"));
    storeBlocks(file, text, protocol::flashBlockCount);
    QCOMPARE(contents(target), QByteArray(2'000'000, 'x')); // untouched until the end
    QCOMPARE(file.finish(), std::nullopt);

    const QByteArray result = contents(target);
    QCOMPARE(result.size(), protocol::flashFileBytes);
    QVERIFY(result == text);
    QVERIFY(!QFile::exists(file.partPath()));
}

void FlashFileTest::anInterruptedReadKeepsTheOldBackupAndTheBlocksSoFar()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("backup.fls"));
    const QByteArray oldBackup = testing::sampleFlashImage(9).toHex();
    writeFile(target, oldBackup);
    const QByteArray text = testing::sampleFlashImage().toHex();

    link::FlashPartFile file(target);
    QCOMPARE(file.begin(), std::nullopt);
    storeBlocks(file, text, 37);
    // Each block is with the system as soon as it is stored.
    QCOMPARE(contents(file.partPath()), text.left(protocol::blockOffset(37)));
    file.abandon();

    QVERIFY(contents(target) == oldBackup);
    QCOMPARE(contents(file.partPath()), text.left(protocol::blockOffset(37)));
}

void FlashFileTest::aPartFileFromAnEarlierReadStartsAfresh()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("new.fls"));
    writeFile(target + QStringLiteral(".part"), QByteArray(1'500'000, 'z'));
    link::FlashPartFile file(target);
    QCOMPARE(file.begin(), std::nullopt);
    QVERIFY(!file.targetExisted());
    storeBlocks(file, testing::sampleFlashImage().toHex(), 2);
    file.abandon();
    QCOMPARE(contents(file.partPath()).size(), 2 * 480);
    QVERIFY(!QFile::exists(target));
}

// Tests run with every permission, so the failures are made with paths that
// no permission can fix.
void FlashFileTest::filesThatCannotBeMadeOrReplacedAreReported()
{
    QTemporaryDir dir;
    link::FlashPartFile nowhere(dir.filePath(QStringLiteral("no/such/folder/b.fls")));
    const std::optional<QString> notCreated = nowhere.begin();
    QVERIFY(notCreated);
    QVERIFY2(notCreated->startsWith(nowhere.partPath() + QStringLiteral(" cannot be created (")),
             qPrintable(*notCreated));

    // A folder in the target's place cannot be replaced by a file.
    const QString folder = dir.filePath(QStringLiteral("taken.fls"));
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/inside")));
    link::FlashPartFile blocked(folder);
    QCOMPARE(blocked.begin(), std::nullopt);
    storeBlocks(blocked, testing::sampleFlashImage().toHex(), protocol::flashBlockCount);
    const std::optional<QString> notReplaced = blocked.finish();
    QVERIFY(notReplaced);
    QVERIFY2(notReplaced->startsWith(blocked.partPath() + QStringLiteral(" could not replace ") +
                                     folder),
             qPrintable(*notReplaced));
    QCOMPARE(contents(blocked.partPath()).size(), protocol::flashFileBytes);
    QVERIFY(QFileInfo(folder + QStringLiteral("/inside")).isDir());
}

void FlashFileTest::loadingChecksTheWholeFile_data()
{
    const QByteArray text = testing::sampleFlashImage().toHex();
    QTest::addColumn<QByteArray>("fileBytes");
    QTest::addColumn<QString>("reason"); // empty: loads
    QByteArray badDigit = text;
    badDigit[700'001] = 'g';
    QByteArray lineBreak = text;
    lineBreak[480] = '\n';
    QTest::newRow("an image") << text << QString();
    QTest::newRow("uppercase digits") << text.toUpper() << QString();
    QTest::newRow("bytes after the image are ignored") << text + "\r\nnotes" << QString();
    QTest::newRow("a character that is no digit")
        << badDigit
        << "At offset 700001 the file holds \"g\" (0x67) where a hexadecimal digit "
           "belongs.";
    QTest::newRow("a line break")
        << lineBreak
        << "At offset 480 the file holds a line break (0x0A) where a hexadecimal "
           "digit belongs.";
    QTest::newRow("too short") << text.left(983'000)
                               << "The file holds 983000 bytes, fewer than the 983040 of a flash "
                                  "image: its data runs out at offset 983000.";
}

void FlashFileTest::loadingChecksTheWholeFile()
{
    QFETCH(QByteArray, fileBytes);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("image.fls"));
    writeFile(path, fileBytes);
    const protocol::FlashConversion loaded = link::FlashImageFile(path).load();
    QCOMPARE(loaded.reason(), reason);
    if (reason.isEmpty())
        QVERIFY(loaded.bytes() == testing::sampleFlashImage());

    const protocol::FlashConversion missing =
        link::FlashImageFile(dir.filePath(QStringLiteral("gone.fls"))).load();
    QVERIFY(!missing.ok());
    QVERIFY2(missing.reason().startsWith(QStringLiteral("It cannot be opened (")),
             qPrintable(missing.reason()));
}

QTEST_GUILESS_MAIN(FlashFileTest)
#include "tst_flash_file.moc"
