#include "windowfixture.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace lumivor::testing {

WindowFixture::WindowFixture(QList<int> present)
{
    for (int n : present)
        QFile::link(QStringLiteral("/dev/null"),
                    portDir.path() + QStringLiteral("/com") + QString::number(n));
    ports = link::ComPortTable::probe(portDir.path(), {});
    window = std::make_unique<app::MainWindow>(port, dialogs, ports);
}

void WindowFixture::click(const char* name) const
{
    auto* button = find<QAbstractButton>(name);
    QVERIFY2(button, name);
    QTest::mouseClick(button, Qt::LeftButton);
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
    return QStringLiteral("<no control %1>").arg(QString::fromLatin1(name));
}

void WindowFixture::answerIdentification(const QByteArray& reply)
{
    port.onOutput = [this, reply](const QByteArray& bytes) {
        if (bytes == QByteArray("ID"))
            port.queueInput(reply);
    };
}

} // namespace lumivor::testing
