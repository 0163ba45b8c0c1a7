// The window as a whole: what it keeps between runs (the picture conversion)
// and what it does not (the port and the rate start as defined; unusable
// values fall back); and the room every frame gets at 100 % and 200 %, and
// in a window shrunk to 600 x 400.
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

namespace {

// The frames on the shown tab page that are squeezed, or whose controls overlap.
QStringList crampedFrames(QWidget* page, QWidget* window)
{
    QStringList cramped;
    for (QGroupBox* frame : page->findChildren<QGroupBox*>()) {
        if (!frame->isVisibleTo(window))
            continue;
        const QSize needed = frame->minimumSizeHint();
        if (frame->width() < needed.width() || frame->height() < needed.height())
            cramped << frame->objectName();
        QList<QWidget*> controls;
        for (QWidget* child : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (child->isVisibleTo(window) && !child->geometry().isEmpty())
                controls << child;
        for (int i = 0; i < controls.size(); ++i)
            for (int j = i + 1; j < controls.size(); ++j)
                if (controls[i]->geometry().intersects(controls[j]->geometry()))
                    cramped << frame->objectName() + ':' + controls[i]->objectName() + '/' +
                                   controls[j]->objectName();
    }
    return cramped;
}

} // namespace

// Every frame on every tab has at least the room its contents ask for, and no
// two controls in a frame overlap: as the window opens (at a size a full-HD
// screen at 200 % still holds) and shrunk to 600 x 400, where the tab pages
// scroll instead of squeezing.
class WindowLayoutTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void everyFrameFitsItsContents_data()
    {
        QTest::addColumn<QSize>("size"); // empty: as it opens
        QTest::newRow("as opened") << QSize();
        QTest::newRow("600 x 400") << QSize(600, 400);
    }

    void everyFrameFitsItsContents()
    {
        QFETCH(QSize, size);
        WindowFixture f;
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        if (size.isValid()) {
            f.window->resize(size);
            QApplication::processEvents();
            QVERIFY(f.window->width() <= 600 && f.window->height() <= 400);
        }
        QStringList cramped;
        for (QTabWidget* tabs : f.window->findChildren<QTabWidget*>()) {
            for (int page = 0; page < tabs->count(); ++page) {
                tabs->setCurrentIndex(page);
                QApplication::processEvents();
                cramped << crampedFrames(tabs->widget(page), f.window.get());
            }
        }
        QVERIFY2(cramped.isEmpty(), qPrintable(cramped.join(u' ')));
        if (size.isValid())
            return;
        // 960 x 540 in the window's own units is a full-HD screen at 200 %.
        const QSize opened = f.window->size();
        QVERIFY(opened.expandedTo(f.window->minimumSizeHint()) == opened);
        QVERIFY(opened.width() <= 960 && opened.height() <= 540);
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
