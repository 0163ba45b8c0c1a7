// The one-touch display controls: every button's bytes from one table, the
// contrast and page scroll bars and their mirror boxes.
#include "windowfixture.h"

#include <QPushButton>
#include <QScrollBar>
#include <QTest>

using lumivor::testing::WindowFixture;

class DisplayPanelTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void buttons_data();
    void buttons();
    void pageButtonsReadThePageScrollBar_data();
    void pageButtonsReadThePageScrollBar();
    void contrastScrollBar_data();
    void contrastScrollBar();
    void framesSitOnTheirTabs();
};

void DisplayPanelTest::buttons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QByteArray>("bytes");
    const auto row = [](const char* name, const char* caption, const char* toolTip,
                        const QByteArray& bytes) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(caption)
                            << QString::fromLatin1(toolTip) << bytes;
    };
    row("Command27", "OFF", "LCD Backlight OFF (0x09 + 0x00)", QByteArray("\x09\x00", 2));
    row("Command13", "ON", "LCD Backlight ON (0x09 + 0x01)", QByteArray("\x09\x01"));
    row("Command28", "Beep", "", QByteArray("\x23\x01"));
    row("Command19", "Normal", "", QByteArray("\x0b\x00", 2));
    row("Command18", "Reverse", "", QByteArray("\x0b\x01"));
    row("Command16", "Top Normal Bottom Reverse", "", QByteArray("\x0b\x02"));
    row("Command15", "Top Reverse Bottom Normal", "", QByteArray("\x0b\x03"));
    row("Command7", "Right Reverse Left Normal", "", QByteArray("\x0b\x04"));
    row("Command14", "Diagonal [\\]", "", QByteArray("\x0b\x05"));
    row("Command9", "Diagonal [/]", "", QByteArray("\x0b\x06"));
    row("Command11", "Clear", "", QByteArray("\x01\x08"));
    row("Command25", "OFF", "Display OFF (0x0D + 0x00)", QByteArray("\x0d\x00", 2));
    row("Command12", "ON", "Display ON (0x0D + 0x01)", QByteArray("\x0d\x01"));
    row("Command24", "Clear Page", "", QByteArray("\x01\x00", 2));
    row("Command21", "Flip Page", "", QByteArray("\x1d\x00", 2));
}

// Each press sends its two bytes as one write, again on every press, and
// nothing at all with the port closed.
void DisplayPanelTest::buttons()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, toolTip);
    QFETCH(QByteArray, bytes);
    WindowFixture f;
    const QByteArray nameBytes = name.toLatin1();
    auto* button = f.find<QPushButton>(nameBytes.constData());
    QVERIFY(button);
    QCOMPARE(button->text(), caption);
    QCOMPARE(button->toolTip(), toolTip);

    f.click(nameBytes.constData());
    QVERIFY(f.port.writes.isEmpty());
    f.port.setPortOpen(true);
    f.click(nameBytes.constData());
    f.click(nameBytes.constData());
    QCOMPARE(f.port.writes, (QList<QByteArray>{bytes, bytes}));
    QVERIFY(f.dialogs.messages.isEmpty());
}

void DisplayPanelTest::pageButtonsReadThePageScrollBar_data()
{
    QTest::addColumn<int>("rightArrows");
    QTest::addColumn<QByteArray>("clearBytes");
    QTest::addColumn<QByteArray>("flipBytes");
    QTest::newRow("page 3") << 3 << QByteArray("\x01\x03") << QByteArray("\x1d\x03");
    QTest::newRow("page 7") << 7 << QByteArray("\x01\x07") << QByteArray("\x1d\x07");
    QTest::newRow("stops at 7") << 9 << QByteArray("\x01\x07") << QByteArray("\x1d\x07");
}

void DisplayPanelTest::pageButtonsReadThePageScrollBar()
{
    QFETCH(int, rightArrows);
    QFETCH(QByteArray, clearBytes);
    QFETCH(QByteArray, flipBytes);
    WindowFixture f; // port closed: the mirror box follows all the same
    f.window->show();
    for (int i = 0; i < rightArrows; ++i)
        f.clickScrollBar("PageScroll", i % 2 == 1 && i < 7); // arrow and track step by one
    QCOMPARE(f.text("Text8"), QString::number(std::min(rightArrows, 7)));
    QVERIFY(f.port.writes.isEmpty());
    f.port.setPortOpen(true);
    f.click("Command24");
    f.click("Command21");
    QCOMPARE(f.port.writes, (QList<QByteArray>{clearBytes, flipBytes}));
}

void DisplayPanelTest::contrastScrollBar_data()
{
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<QList<QByteArray>>("writes");
    QTest::newRow("port open") << true << QList<QByteArray>{QByteArray("\x10\xff")};
    QTest::newRow("port closed") << false << QList<QByteArray>{};
}

void DisplayPanelTest::contrastScrollBar()
{
    QFETCH(bool, portOpen);
    QFETCH(QList<QByteArray>, writes);
    WindowFixture f;
    f.port.setPortOpen(portOpen);
    auto* contrast = f.find<QScrollBar>("HScroll5");
    QCOMPARE(contrast->maximum(), 255);
    QTest::keyClick(contrast, Qt::Key_End);
    QCOMPARE(f.text("Text5"), QStringLiteral("255"));
    QCOMPARE(f.port.writes, writes);
}

void DisplayPanelTest::framesSitOnTheirTabs()
{
    WindowFixture f;
    const QList<std::pair<const char*, const char*>> frameOnPage = {
        {"Frame24", "Settings"}, {"Frame5", "Settings"},
        {"Frame21", "Display"},  {"Frame22", "Display"},
        {"Frame11", "Display"},  {"Frame23", "Display"},
        {"Frame6", "Text"},      {"Frame1", "Text"},
        {"Frame3", "Text"},      {"Frame9", "Touch Screen/Animation"},
    };
    for (const auto& [frame, tabCaption] : frameOnPage) {
        QWidget* widget = f.find<QWidget>(frame);
        QVERIFY2(widget, frame);
        QString caption;
        for (QWidget* w = widget; w && caption.isEmpty(); w = w->parentWidget()) {
            auto* tabs = qobject_cast<QTabWidget*>(
                w->parentWidget() ? w->parentWidget()->parentWidget() : nullptr);
            if (tabs && tabs->indexOf(w) >= 0)
                caption = tabs->tabText(tabs->indexOf(w));
        }
        QCOMPARE(caption, QString::fromLatin1(tabCaption));
    }
}

QTEST_MAIN(DisplayPanelTest)
#include "tst_display_panel.moc"
