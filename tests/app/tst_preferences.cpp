// What the console keeps between runs: the window's place and the picture
// conversion; and what it does not: the port and the rate start as defined.
#include "windowfixture.h"

#include <QComboBox>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

using lumivor::testing::WindowFixture;

class PreferencesTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void theConversionIsKeptButNotThePortOrTheRate();
    void unusablePreferencesFallBackToTheDefaults();
};

void PreferencesTest::theConversionIsKeptButNotThePortOrTheRate()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("lumivor.ini"));
    {
        WindowFixture f;
        f.find<QComboBox>("cboConversion")->setCurrentIndex(1);
        f.find<QSlider>("sldThreshold")->setValue(77);
        f.find<QComboBox>("cbo_mostraporta")->setCurrentIndex(1);
        f.find<QComboBox>("cboBR")->setCurrentIndex(7);
        QSettings settings(file, QSettings::IniFormat);
        f.window->savePreferences(settings);
    }
    WindowFixture f;
    f.window->restorePreferences(QSettings(file, QSettings::IniFormat));
    QCOMPARE(f.find<QComboBox>("cboConversion")->currentIndex(), 1);
    QCOMPARE(f.find<QSlider>("sldThreshold")->value(), 77);
    QVERIFY(f.find<QSlider>("sldThreshold")->isEnabled());
    QCOMPARE(f.find<QComboBox>("cbo_mostraporta")->currentText(), QStringLiteral("1"));
    QCOMPARE(f.find<QComboBox>("cboBR")->currentText(), QStringLiteral("9600"));
}

void PreferencesTest::unusablePreferencesFallBackToTheDefaults()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("lumivor.ini"));
    {
        QSettings settings(file, QSettings::IniFormat);
        settings.setValue(QStringLiteral("picture/conversion"), 99);
        settings.setValue(QStringLiteral("picture/threshold"), QStringLiteral("dark"));
        settings.setValue(QStringLiteral("window/geometry"), QByteArray("garbage"));
    }
    WindowFixture f;
    f.window->restorePreferences(QSettings(file, QSettings::IniFormat));
    QCOMPARE(f.find<QComboBox>("cboConversion")->currentIndex(), 0);
    QVERIFY(!f.find<QSlider>("sldThreshold")->isEnabled());
    QVERIFY(f.find<QSlider>("sldThreshold")->value() >= 1);
}

QTEST_MAIN(PreferencesTest)
#include "tst_preferences.moc"
