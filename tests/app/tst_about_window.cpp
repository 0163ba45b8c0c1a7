// The About window: one instance from the Help menu, the ways to close it,
// the web address, and the system-information decisions on both platforms
// with a fake lookup and launcher.
#include "about/aboutwindow.h"
#include "about/systeminfo.h"
#include "product.h"
#include "testsuite.h"
#include "windowfixture.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>

using namespace lumivor;
using about::Platform;

namespace {

// The system as the lookup sees it, and a launcher that records.
struct FakeLookup final : about::SystemLookup
{
    std::optional<QByteArray> machineRegistryString(const QString& key,
                                                    const QString& value) override
    {
        return registry.contains(key + u'|' + value) ? std::optional(registry[key + u'|' + value])
                                                     : std::nullopt;
    }
    bool isVisibleFile(const QString& path) override { return visibleFiles.contains(path); }
    QString findProgram(const QString& name) override { return onPath.value(name); }

    QMap<QString, QByteArray> registry; // "key|value" -> data as queried
    QStringList visibleFiles;
    QMap<QString, QString> onPath;
};

struct FakeLauncher final : about::DesktopLauncher
{
    bool startDetached(const QString& program) override
    {
        started << program;
        return startable;
    }
    bool openUrl(const QUrl& url) override
    {
        opened << url;
        return true;
    }

    bool startable = true;
    QStringList started;
    QList<QUrl> opened;
};

bool gone(const QPointer<QDialog>& window)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return window.isNull();
}

} // namespace

class AboutWindowTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void theMenuKeepsOneWindowAndClosingDiscardsIt()
    {
        testing::WindowFixture f;
        auto* menu = f.find<QAction>("mnuAbout");
        menu->trigger();
        const QPointer<QDialog> first = f.find<QDialog>("frmAbout");
        QVERIFY(first && first->isVisible() && !first->isModal());
        menu->trigger();
        QCOMPARE(f.window->findChildren<QDialog*>(QStringLiteral("frmAbout")),
                 QList<QDialog*>{first.data()});
        first->close();
        QVERIFY(gone(first));
        menu->trigger();
        QVERIFY(f.find<QDialog>("frmAbout")->isVisible());
    }

    // Only the address opens anything: the home page, in the browser.
    void theAddressOpensAndOkEnterEscapeClose()
    {
        for (const int key : {0, int(Qt::Key_Return), int(Qt::Key_Escape)}) { // 0: click OK
            const QPointer<QDialog> window = new about::AboutWindow(lookup, launcher, dialogs);
            window->show();
            QLabel* address = window->findChild<QLabel*>(QStringLiteral("Label5"));
            QCOMPARE(address->palette().color(QPalette::WindowText),
                     address->palette().color(QPalette::Highlight)); // not the link colour
            QTest::mouseClick(address, Qt::LeftButton);
            if (key == 0)
                QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdOK")),
                                  Qt::LeftButton);
            else
                QTest::keyClick(window.data(), Qt::Key(key));
            QVERIFY2(gone(window), qPrintable(QString::number(key)));
        }
        QCOMPARE(launcher.opened, QList<QUrl>(3, QUrl(product::homepage())));
        QVERIFY(launcher.started.isEmpty());
        QVERIFY(dialogs.messages.isEmpty());
    }

    void systemInfoDecisions_data()
    {
        QTest::addColumn<int>("platform");
        QTest::addColumn<QStringList>("registry"); // "key|value", data
        QTest::addColumn<QStringList>("found");    // a visible file, or a name on PATH and its path
        QTest::addColumn<bool>("startable");
        QTest::addColumn<QString>("started"); // empty: nothing is started
        const int windows = int(Platform::Windows);
        const QString path = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO|PATH");
        const QString folder = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location|MSINFO");
        const QString stale = QStringLiteral("D:\\stale\\m.exe");
        const QString exe = QStringLiteral("C:\\Tools\\MSINFO32.EXE");
        QTest::newRow("Windows: the PATH value as it stands, its NUL cut")
            << windows << QStringList{path, stale + QChar(0)} << QStringList{} << true << stale;
        QTest::newRow("Windows: a PATH that cannot be started")
            << windows << QStringList{path, stale} << QStringList{} << false << stale;
        QTest::newRow("Windows: the folder holds MSINFO32.EXE")
            << windows << QStringList{folder, QStringLiteral("C:\\Tools") + QChar(0)}
            << QStringList{exe} << true << exe;
        QTest::newRow("Linux: the first program of the list on PATH")
            << int(Platform::Other) << QStringList{}
            << QStringList{"kinfocenter", "/usr/bin/kinfocenter", "xfce4-taskmanager",
                           "/usr/bin/xfce4"}
            << true << "/usr/bin/kinfocenter";
    }

    void systemInfoDecisions()
    {
        QFETCH(int, platform);
        QFETCH(QStringList, registry);
        QFETCH(QStringList, found);
        QFETCH(bool, startable);
        QFETCH(QString, started);
        FakeLookup lookup;
        FakeLauncher launcher;
        if (!registry.isEmpty())
            lookup.registry.insert(registry.at(0), registry.at(1).toLatin1());
        if (found.size() == 1)
            lookup.visibleFiles = found;
        for (qsizetype i = 0; i + 1 < found.size(); i += 2)
            lookup.onPath.insert(found.at(i), found.at(i + 1));
        launcher.startable = startable;
        QCOMPARE(about::startSystemInfo(Platform(platform), lookup, launcher),
                 startable && !started.isEmpty());
        QCOMPARE(launcher.started, started.isEmpty() ? QStringList() : QStringList{started});
    }

    void unavailableSystemInfoSaysSo()
    {
        about::AboutWindow window(lookup, launcher, dialogs); // nothing registered, nothing on PATH
        window.show();
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdSysInfo")),
                          Qt::LeftButton);
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages.front().text,
                 QStringLiteral("System Information Is Unavailable At This Time"));
        QVERIFY(window.isVisible());
        QVERIFY(launcher.started.isEmpty());
    }

private:
    FakeLookup lookup;
    FakeLauncher launcher;
    testing::FakeDialogs dialogs;
};

LUMIVOR_TEST(AboutWindowTest)
#include "tst_about_window.moc"
