// The window as a whole: what it keeps between runs (the picture conversion)
// and what it does not (the port and the rate start as defined; unusable
// values fall back); and the room every frame gets at 100 % and, run again
// as tst_window_layout_200, at 200 %.
#include "testsuite.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QGroupBox>
#include <QProcess>
#include <QSettings>
#include <QSlider>
#include <QTabWidget>

using lumivor::testing::WindowFixture;

class PreferencesTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void theConversionIsKeptButNotThePortOrTheRate()
    {
        QTemporaryDir dir;
        QSettings kept(dir.filePath(QStringLiteral("kept.ini")), QSettings::IniFormat);
        {
            WindowFixture f;
            f.find<QComboBox>("cboConversion")->setCurrentIndex(1);
            f.find<QSlider>("sldThreshold")->setValue(77);
            f.find<QComboBox>("cbo_mostraporta")->setCurrentIndex(1);
            f.find<QComboBox>("cboBR")->setCurrentIndex(7);
            f.window->savePreferences(kept);
        }
        WindowFixture f;
        f.window->restorePreferences(kept);
        QCOMPARE(f.find<QComboBox>("cboConversion")->currentIndex(), 1);
        QCOMPARE(f.find<QSlider>("sldThreshold")->value(), 77);
        QVERIFY(f.find<QSlider>("sldThreshold")->isEnabled());
        QCOMPARE(f.find<QComboBox>("cbo_mostraporta")->currentText(), QStringLiteral("1"));
        QCOMPARE(f.find<QComboBox>("cboBR")->currentText(), QStringLiteral("9600"));

        QSettings unusable(dir.filePath(QStringLiteral("unusable.ini")), QSettings::IniFormat);
        unusable.setValue(QStringLiteral("picture/conversion"), 99);
        unusable.setValue(QStringLiteral("picture/threshold"), QStringLiteral("dark"));
        unusable.setValue(QStringLiteral("window/geometry"), QByteArray("garbage"));
        WindowFixture fresh;
        fresh.window->restorePreferences(unusable);
        QCOMPARE(fresh.find<QComboBox>("cboConversion")->currentIndex(), 0);
        QVERIFY(!fresh.find<QSlider>("sldThreshold")->isEnabled());
        QVERIFY(fresh.find<QSlider>("sldThreshold")->value() >= 1);
    }
};

LUMIVOR_TEST(PreferencesTest)

// Every frame on every tab has at least the room its contents ask for, and
// the window opens at a size a full-HD screen at 200 % still holds.
class WindowLayoutTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void everyFrameFitsItsContents()
    {
        WindowFixture f;
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QStringList clipped;
        for (QTabWidget* tabs : f.window->findChildren<QTabWidget*>()) {
            for (int page = 0; page < tabs->count(); ++page) {
                tabs->setCurrentIndex(page);
                QApplication::processEvents();
                for (QGroupBox* frame : tabs->widget(page)->findChildren<QGroupBox*>()) {
                    const QSize needed = frame->minimumSizeHint();
                    if (frame->isVisibleTo(f.window.get()) &&
                        (frame->width() < needed.width() || frame->height() < needed.height()))
                        clipped << frame->objectName();
                }
            }
        }
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(u' ')));
        // 960 x 540 in the window's own units is a full-HD screen at 200 %.
        const QSize size = f.window->size();
        QVERIFY(size.expandedTo(f.window->minimumSizeHint()) == size);
        QVERIFY(size.width() <= 960 && size.height() <= 540);
    }

    // The same on a 200 % desktop. Qt takes its scale factor once, at start-up,
    // so that run is a child of this one.
    void atDoubleScale()
    {
        if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
            QSKIP("this is the run at double scale");
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("WindowLayoutTest")});
        QVERIFY(child.waitForFinished(30'000));
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 child.readAllStandardOutput().constData());
    }
};

LUMIVOR_TEST(WindowLayoutTest)
#include "tst_window.moc"
