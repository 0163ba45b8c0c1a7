// The COM port list looks for ports again each time the operator opens it
// while disconnected, keeping the chosen port when it is still there.
#include "windowfixture.h"

#include <QComboBox>
#include <QFile>
#include <QTest>

using lumivor::testing::WindowFixture;

namespace {

QStringList entries(const WindowFixture& f)
{
    auto* list = f.find<QComboBox>("cbo_mostraporta");
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->itemText(i);
    return texts;
}

void openList(const WindowFixture& f)
{
    auto* list = f.find<QComboBox>("cbo_mostraporta");
    list->showPopup();
    list->hidePopup();
}

void plugIn(WindowFixture& f, int number)
{
    QVERIFY(QFile::link(QStringLiteral("/dev/null"),
                        f.portDir.path() + QStringLiteral("/com%1").arg(number)));
}

void unplug(WindowFixture& f, int number)
{
    QVERIFY(QFile::remove(f.portDir.path() + QStringLiteral("/com%1").arg(number)));
}

} // namespace

class PortListTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void aPortPluggedInLaterAppearsAndTheChoiceStays();
    void aChosenPortThatWentGivesWayToTheFirst();
    void nothingIsProbedWhileConnected();
};

void PortListTest::aPortPluggedInLaterAppearsAndTheChoiceStays()
{
    WindowFixture f({1, 3});
    f.find<QComboBox>("cbo_mostraporta")->setCurrentIndex(1); // COM3
    plugIn(f, 2);
    openList(f);
    QCOMPARE(entries(f), (QStringList{"1", "2", "3"}));
    QCOMPARE(f.find<QComboBox>("cbo_mostraporta")->currentText(), QStringLiteral("3"));
    f.answerIdentification("64");
    f.find<QComboBox>("cbo_mostraporta")->setCurrentIndex(1);
    f.connectAndDetect();
    QCOMPARE(f.port.commPort(), 2); // the new port is the one opened
}

void PortListTest::aChosenPortThatWentGivesWayToTheFirst()
{
    WindowFixture f({1, 3});
    f.find<QComboBox>("cbo_mostraporta")->setCurrentIndex(1);
    unplug(f, 3);
    openList(f);
    QCOMPARE(entries(f), QStringList{"1"});
    QCOMPARE(f.find<QComboBox>("cbo_mostraporta")->currentText(), QStringLiteral("1"));
}

void PortListTest::nothingIsProbedWhileConnected()
{
    WindowFixture f({1, 3});
    f.answerIdentification("64");
    f.connectAndDetect();
    plugIn(f, 2);
    openList(f);
    QCOMPARE(entries(f), (QStringList{"1", "3"}));
    f.click("cmd_conecta"); // disconnected again: the next opening looks
    openList(f);
    QCOMPARE(entries(f), (QStringList{"1", "2", "3"}));
}

QTEST_MAIN(PortListTest)
#include "tst_port_list.moc"
