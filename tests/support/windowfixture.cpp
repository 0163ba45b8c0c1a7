#include "windowfixture.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTabWidget>

namespace lumivor::testing {

WindowFixture::WindowFixture()
{
    for (const char* name : {"/com1", "/com3"})
        QFile::link(QStringLiteral("/dev/null"), portDir.path() + QString::fromLatin1(name));
    ports = link::ComPortTable::probe(portDir.path(), {}, link::DeviceFilter::AnyCharacterDevice);
    window = std::make_unique<app::MainWindow>(port, dialogs, ports, clock);
    window->show(); // so that a click lands where the operator's would
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

QString WindowFixture::status(int panel) const
{
    return window->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(panel))->text();
}

QString WindowFixture::text(const char* name) const
{
    if (const auto* edit = find<QLineEdit>(name))
        return edit->text();
    return find<QAbstractButton>(name)->text();
}

void WindowFixture::click(const char* name) const
{
    auto* button = find<QAbstractButton>(name);
    QVERIFY2(button, name);
    bringToFront(button);
    QTest::mouseClick(button, Qt::LeftButton);
}

void WindowFixture::bringToFront(QWidget* widget) const
{
    for (QWidget* page = widget; page; page = page->parentWidget()) {
        auto* stack = qobject_cast<QStackedWidget*>(page->parentWidget());
        if (auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr)
            tabs->setCurrentWidget(page);
    }
}

void WindowFixture::connect(const QByteArray& reply)
{
    port.onOutput = [this, reply](const QByteArray& bytes) {
        if (bytes == QByteArray("ID"))
            port.queueInput(reply);
    };
    click("cmd_conecta");
    clock.advanceUntil([this] { return !find<link::ClockTimer>("Timer1")->isActive(); }, 2000);
    if (reply.contains('!'))
        QVERIFY(clock.advanceUntil([this] { return pollRuns(); }, 1000));
}

bool WindowFixture::runToEnd(int limitMs)
{
    return clock.advanceUntil([this] { return !busy(); }, limitMs);
}

} // namespace lumivor::testing
