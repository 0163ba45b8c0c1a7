// Every file the console, the command line and the simulator write goes
// through a part file: it must never write where the operator did not ask,
// keep what the target was (its mode, its link), and say why it cannot write.
#include "link/partfile.h"
#include "testsuite.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace lumivor;

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

mode_t modeOf(const QString& path)
{
    struct stat status
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 07777 : 0;
}

} // namespace

class PartFileTest : public QObject
{
    Q_OBJECT

private slots:
    void whatStandsAtThePartName_data()
    {
        QTest::addColumn<QString>("leftover"); // what stands at "<target>.part"
        QTest::addColumn<bool>("written");
        QTest::newRow("nothing") << "" << true;
        QTest::newRow("a plain file from an earlier run") << "file" << true;
        QTest::newRow("a link to someone's file") << "link" << false;
        QTest::newRow("a dangling link") << "dangling" << false;
        QTest::newRow("a folder") << "folder" << false;
    }

    // A part file is created new, never opened through whatever stands at its
    // name: a link there would let anyone with write access to the folder turn
    // a backup into an overwrite of any file.
    void whatStandsAtThePartName()
    {
        QFETCH(QString, leftover);
        QFETCH(bool, written);
        QTemporaryDir here;
        const QString target = here.filePath("image.fls");
        const QString part = target + ".part";
        const QString victim = here.filePath("victim.txt");
        QVERIFY(write(victim, "precious"));
        if (leftover == "file")
            QVERIFY(write(part, "half a backup"));
        else if (leftover == "link")
            QVERIFY(QFile::link(victim, part));
        else if (leftover == "dangling")
            QVERIFY(QFile::link(here.filePath("nowhere"), part));
        else if (leftover == "folder")
            QVERIFY(QDir(here.path()).mkdir("image.fls.part"));

        const std::optional<QString> failure = link::writeWholeFile(target, "new image");
        QCOMPARE(!failure.has_value(), written);
        QCOMPARE(contents(victim), QByteArray("precious"));
        if (written) {
            QCOMPARE(contents(target), QByteArray("new image"));
            QVERIFY(!QFileInfo::exists(part));
        } else {
            QVERIFY2(failure->contains(part), qPrintable(*failure));
            QVERIFY(!QFileInfo::exists(target));
            QVERIFY(QFileInfo(part).isSymLink() || QFileInfo(part).isDir()); // left alone
        }
    }

    // Saving over a private file keeps it private; saving over a link replaces
    // the file the link names and leaves the link a link, as editors do.
    void theTargetKeepsItsModeAndItsLink()
    {
        const QString real = dir.filePath("real.fls");
        const QString linked = dir.filePath("linked.fls");
        QVERIFY(write(real, "old"));
        QVERIFY(QFile::setPermissions(real, QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(QFile::link(real, linked));

        QCOMPARE(link::writeWholeFile(linked, "new"), std::nullopt);
        QVERIFY(QFileInfo(linked).isSymLink());
        QCOMPARE(contents(real), QByteArray("new"));
        QCOMPARE(modeOf(real), mode_t(0600));
        QVERIFY(!QFileInfo::exists(real + ".part") && !QFileInfo::exists(linked + ".part"));
    }

    void targetsThatCanNeverBeWritten_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no name") << ""
                                 << "No file name was given.";
        QTest::newRow("a folder") << "<dir>"
                                  << "<dir> is a folder, not a file.";
        QTest::newRow("in no folder") << "<dir>/none/x.fls"
                                      << "The folder <dir>/none does not exist.";
        QTest::newRow("in a file") << "<dir>/plain/x.fls"
                                   << "<dir>/plain is not a folder.";
        QTest::newRow("a device") << "/dev/null"
                                  << "/dev/null is not a regular file.";
    }

    // Found before anything starts (a backup at 9600 baud takes minutes), and
    // nothing is created on the way.
    void targetsThatCanNeverBeWritten()
    {
        QFETCH(QString, target);
        QFETCH(QString, reason);
        QTemporaryDir here;
        QVERIFY(write(here.filePath("plain"), "x"));
        target.replace("<dir>", here.path());
        reason.replace("<dir>", here.path());
        QCOMPARE(link::unwritableTarget(target), std::optional<QString>(reason));
        QCOMPARE(QDir(here.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList{"plain"});
        QVERIFY(link::writeWholeFile(target, "x").has_value());
    }

private:
    QTemporaryDir dir;
};

LUMIVOR_TEST(PartFileTest)
#include "tst_part_file.moc"
