// The About window: its texts and picture, one instance from the Help menu,
// the ways to close it, the web address, and the system-information
// decisions on both platforms with a fake lookup and launcher.
#include "about/aboutwindow.h"
#include "about/systeminfo.h"
#include "fakedialogs.h"
#include "product.h"
#include "windowfixture.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace lumivor;
using about::Platform;

namespace {

struct FakeLookup final : about::SystemLookup
{
    std::optional<QByteArray> machineRegistryString(const QString& key,
                                                    const QString& value) override
    {
        const auto found = registry.constFind(key + QLatin1Char('|') + value);
        return found == registry.cend() ? std::nullopt : std::optional(*found);
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

const QString msinfoPath = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO|PATH");
const QString msinfoFolder = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location|MSINFO");

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
    void showsTitleVersionPictureAndAddress();
    void theMenuKeepsOneWindowAndClosingDiscardsIt();
    void okEnterAndEscapeClose_data();
    void okEnterAndEscapeClose();
    void systemInfoDecisions_data();
    void systemInfoDecisions();
    void unavailableSystemInfoSaysSo();
};

void AboutWindowTest::showsTitleVersionPictureAndAddress()
{
    FakeLookup lookup;
    FakeLauncher launcher;
    testing::FakeDialogs dialogs;
    about::AboutWindow window(lookup, launcher, dialogs);
    QCOMPARE(window.objectName(), QStringLiteral("frmAbout"));
    QCOMPARE(window.windowTitle(), QStringLiteral("About Lumivor 240x64"));
    QVERIFY(!window.isModal());
    const auto label = [&](const char* name) {
        return window.findChild<QLabel*>(QString::fromLatin1(name));
    };
    QCOMPARE(label("lblTitle")->text(), QStringLiteral("Lumivor 240x64"));
    QVERIFY(label("lblTitle")->font().bold());
    QCOMPARE(label("lblVersion")->text(), QStringLiteral("Version 1.0.0"));
    QCOMPARE(label("Picture1")->size(), QSize(102, 72));
    QCOMPARE(label("Picture1")->pixmap().size(), QSize(102, 72));
    QVERIFY(!label("Picture1")->pixmap().toImage().isNull());
    auto* address = label("Label5");
    QCOMPARE(address->text(), product::homepage());
    QVERIFY(address->text().startsWith(QStringLiteral("https://")));
    QVERIFY(address->font().underline());
    QCOMPARE(address->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(address->palette().color(QPalette::WindowText),
             address->palette().color(QPalette::Link));
    QTest::mouseClick(address, Qt::LeftButton);
    QCOMPARE(launcher.opened, QList<QUrl>{QUrl(product::homepage())});
    for (const char* notice : {"Label1", "Label2", "Label3", "Label4"})
        QVERIFY2(label(notice) && !label(notice)->text().isEmpty(), notice);
    QCOMPARE(window.findChild<QPushButton*>(QStringLiteral("cmdSysInfo"))->text(),
             QStringLiteral("&System Info..."));
    QVERIFY(window.findChild<QPushButton*>(QStringLiteral("cmdOK"))->isDefault());
}

void AboutWindowTest::theMenuKeepsOneWindowAndClosingDiscardsIt()
{
    testing::WindowFixture f;
    auto* menu = f.find<QAction>("mnuAbout");
    QCOMPARE(menu->text(), QStringLiteral("About Lumivor"));
    menu->trigger();
    const QPointer<QDialog> first = f.find<QDialog>("frmAbout");
    QVERIFY(first);
    QVERIFY(first->isVisible());
    QVERIFY(!first->isModal());
    menu->trigger();
    QCOMPARE(f.window->findChildren<QDialog*>(QStringLiteral("frmAbout")).size(), 1);
    QCOMPARE(f.find<QDialog>("frmAbout"), first.data());

    first->close();
    QVERIFY(gone(first));
    menu->trigger();
    QVERIFY(f.find<QDialog>("frmAbout"));
    QVERIFY(f.find<QDialog>("frmAbout")->isVisible());
}

void AboutWindowTest::okEnterAndEscapeClose_data()
{
    QTest::addColumn<int>("key"); // 0: click OK
    QTest::newRow("OK") << 0;
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
}

void AboutWindowTest::okEnterAndEscapeClose()
{
    QFETCH(int, key);
    FakeLookup lookup;
    FakeLauncher launcher;
    testing::FakeDialogs dialogs;
    const QPointer<QDialog> window = new about::AboutWindow(lookup, launcher, dialogs);
    window->show();
    if (key == 0)
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
    else
        QTest::keyClick(window.data(), Qt::Key(key));
    QVERIFY(gone(window));
    QVERIFY(launcher.started.isEmpty());
    QVERIFY(dialogs.messages.isEmpty());
}

void AboutWindowTest::systemInfoDecisions_data()
{
    QTest::addColumn<int>("platform");
    QTest::addColumn<QStringList>("registry"); // "key|value", data, ...
    QTest::addColumn<QStringList>("visibleFiles");
    QTest::addColumn<QStringList>("onPath"); // name, path, ...
    QTest::addColumn<bool>("startable");
    QTest::addColumn<QString>("started"); // empty: nothing is started
    QTest::addColumn<bool>("available");
    const int windows = int(Platform::Windows);
    const int other = int(Platform::Other);
    const QString exe = QStringLiteral("C:\\Tools\\MSINFO32.EXE");

    QTest::newRow("Windows: the PATH value is started as it stands, untested")
        << windows << QStringList{msinfoPath, QStringLiteral("D:\\stale\\msinfo32.exe")}
        << QStringList{} << QStringList{} << true << "D:\\stale\\msinfo32.exe" << true;
    QTest::newRow("Windows: the PATH value with its NUL")
        << windows << QStringList{msinfoPath, QStringLiteral("C:\\m.exe") + QChar(0)}
        << QStringList{} << QStringList{} << true << "C:\\m.exe" << true;
    QTest::newRow("Windows: a stale PATH cannot be started")
        << windows << QStringList{msinfoPath, QStringLiteral("D:\\stale\\msinfo32.exe")}
        << QStringList{} << QStringList{} << false << "D:\\stale\\msinfo32.exe" << false;
    QTest::newRow("Windows: a PATH value that is only a NUL")
        << windows << QStringList{msinfoPath, QString(QChar(0))} << QStringList{} << QStringList{}
        << true << QString() << false;
    QTest::newRow("Windows: the folder holds MSINFO32.EXE")
        << windows << QStringList{msinfoFolder, QStringLiteral("C:\\Tools") + QChar(0)}
        << QStringList{exe} << QStringList{} << true << exe << true;
    QTest::newRow("Windows: the folder lacks it")
        << windows << QStringList{msinfoFolder, QStringLiteral("C:\\Tools")} << QStringList{}
        << QStringList{} << true << QString() << false;
    QTest::newRow("Linux: the first program of the list that is on PATH")
        << other << QStringList{} << QStringList{}
        << QStringList{QStringLiteral("xfce4-taskmanager"), QStringLiteral("/usr/bin/xfce4-tm"),
                       QStringLiteral("kinfocenter"), QStringLiteral("/usr/bin/kinfocenter")}
        << true << "/usr/bin/kinfocenter" << true;
    QTest::newRow("Linux: found but cannot be started")
        << other << QStringList{} << QStringList{}
        << QStringList{QStringLiteral("hardinfo"), QStringLiteral("/usr/bin/hardinfo")} << false
        << "/usr/bin/hardinfo" << false;
}

void AboutWindowTest::systemInfoDecisions()
{
    QFETCH(int, platform);
    QFETCH(QStringList, registry);
    QFETCH(QStringList, visibleFiles);
    QFETCH(QStringList, onPath);
    QFETCH(bool, startable);
    QFETCH(QString, started);
    QFETCH(bool, available);
    FakeLookup lookup;
    for (qsizetype i = 0; i + 1 < registry.size(); i += 2)
        lookup.registry.insert(registry.at(i), registry.at(i + 1).toLatin1());
    lookup.visibleFiles = visibleFiles;
    for (qsizetype i = 0; i + 1 < onPath.size(); i += 2)
        lookup.onPath.insert(onPath.at(i), onPath.at(i + 1));
    FakeLauncher launcher;
    launcher.startable = startable;

    QCOMPARE(about::startSystemInfo(Platform(platform), lookup, launcher), available);
    QCOMPARE(launcher.started, started.isEmpty() ? QStringList() : QStringList{started});
}

void AboutWindowTest::unavailableSystemInfoSaysSo()
{
    FakeLookup lookup; // nothing registered, nothing on PATH
    FakeLauncher launcher;
    testing::FakeDialogs dialogs;
    about::AboutWindow window(lookup, launcher, dialogs);
    window.show();
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdSysInfo")), Qt::LeftButton);
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.front().text,
             QStringLiteral("System Information Is Unavailable At This Time"));
    QCOMPARE(dialogs.messages.front().title, QStringLiteral("Lumivor 240x64"));
    QCOMPARE(dialogs.messages.front().icon, link::Dialogs::Icon::None);
    QCOMPARE(dialogs.messages.front().buttons, link::Dialogs::Buttons::Ok);
    QVERIFY(window.isVisible());
    QVERIFY(launcher.started.isEmpty());

    // The list starts with the information centres.
    QCOMPARE(about::systemInfoPrograms().first(), QStringLiteral("hardinfo2"));
    QVERIFY(about::systemInfoPrograms().contains(QStringLiteral("gnome-system-monitor")));
}

QTEST_MAIN(AboutWindowTest)
#include "tst_about_window.moc"
