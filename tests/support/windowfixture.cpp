#include "windowfixture.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStyleOptionSlider>
#include <QTabWidget>

namespace lumivor::testing {

WindowFixture::WindowFixture(QList<int> present)
{
    for (int n : present)
        QFile::link(QStringLiteral("/dev/null"),
                    portDir.path() + QStringLiteral("/com") + QString::number(n));
    ports = link::ComPortTable::probe(portDir.path(), {}, link::DeviceFilter::AnyCharacterDevice);
    window = std::make_unique<app::MainWindow>(port, dialogs, ports, clock);
}

void WindowFixture::click(const char* name) const
{
    auto* button = find<QAbstractButton>(name);
    QVERIFY2(button, name);
    bringToFront(button);
    QTest::mouseClick(button, Qt::LeftButton);
}

void WindowFixture::clickScrollBar(const char* name, bool onTrack) const
{
    auto* bar = find<QScrollBar>(name);
    QVERIFY2(bar, name);
    bringToFront(bar);
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.subControls = QStyle::SC_All;
    const auto part = onTrack ? QStyle::SC_ScrollBarAddPage : QStyle::SC_ScrollBarAddLine;
    const QRect area = bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, bar);
    QVERIFY2(area.isValid(), name);
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, area.center());
}

void WindowFixture::bringToFront(QWidget* widget) const
{
    for (QWidget* page = widget; page; page = page->parentWidget()) {
        auto* stack = qobject_cast<QStackedWidget*>(page->parentWidget());
        if (auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr)
            tabs->setCurrentWidget(page);
    }
}

QString WindowFixture::status(int panel) const
{
    const auto* label = window->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(panel));
    return label ? label->text() : QStringLiteral("<no panel>");
}

QString WindowFixture::text(const char* name) const
{
    if (const auto* edit = find<QLineEdit>(name))
        return edit->text();
    if (const auto* button = find<QAbstractButton>(name))
        return button->text();
    if (const auto* label = find<QLabel>(name))
        return label->text();
    return QStringLiteral("<no control %1>").arg(QString::fromLatin1(name));
}

void WindowFixture::answerIdentification(const QByteArray& reply)
{
    port.onOutput = [this, reply](const QByteArray& bytes) {
        if (bytes == QByteArray("ID"))
            port.queueInput(reply);
    };
}

void WindowFixture::connectAndDetect()
{
    click("cmd_conecta");
    clock.advanceUntil([this] { return !timer("Timer1")->isActive(); }, 2000);
}

void WindowFixture::connectWithPoll(const QByteArray& reply)
{
    answerIdentification(reply);
    connectAndDetect();
    QVERIFY(clock.advanceUntil([this] { return timer("Timer2")->isActive(); }, 1000));
}

} // namespace lumivor::testing
