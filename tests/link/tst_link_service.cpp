// The link service: the lease and what it keeps off the port, and who
// reports a failure.
#include "link/pacedwriter.h"
#include "linkrig.h"
#include "testsuite.h"

#include <QSignalSpy>
#include <QTest>

using namespace lumivor;
using link::Job;
using link::OnFailure;
using link::PortErrorCode;
using link::SerialPortError;
using testing::Ends;
using testing::LinkRig;

namespace {

const QByteArray beep("\x23\x01", 2);

// An operation: 100 one-byte writes, each as the line at 9600 baud has carried the last.
struct Operation : link::PacedWriter
{
    explicit Operation(link::LinkService& link)
        : PacedWriter(link, QStringLiteral("The test operation"))
    {}
    bool start() { return PacedWriter::start(QList<link::PacedWrite>(100, {"j", {}})); }
};

} // namespace

class LinkServiceTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The operator's commands, the detection and the poll, and a second
    // operation are refused as with a closed port while one operation holds the
    // link, and get through once it lets go.
    void whileAnOperationHoldsTheLinkNobodyElseGetsThrough_data()
    {
        QTest::addColumn<QString>("caller");
        QTest::newRow("an operator's command") << QStringLiteral("send");
        QTest::newRow("the detection's write") << QStringLiteral("write");
        QTest::newRow("the poll's read") << QStringLiteral("read");
        QTest::newRow("a second operation") << QStringLiteral("lease");
    }

    void whileAnOperationHoldsTheLinkNobodyElseGetsThrough()
    {
        QFETCH(QString, caller);
        LinkRig rig;
        rig.port.setPortOpen(true);
        rig.port.queueInput("T:1,2!");
        const auto attempt = [&] {
            if (caller == QStringLiteral("send"))
                return rig.link.send(beep);
            if (caller == QStringLiteral("write"))
                return rig.link.write(beep, OnFailure::DropLink).done();
            if (caller == QStringLiteral("read"))
                return rig.link.read(OnFailure::DropLink).value == QByteArray("T:1,2!");
            return rig.link.lease(QStringLiteral("another"), {}, {}) != nullptr;
        };
        auto lease = rig.link.lease(QStringLiteral("The test operation"), {}, {});
        QVERIFY(lease);
        QVERIFY(!attempt());
        QVERIFY(rig.port.writes.isEmpty());
        QCOMPARE(rig.port.inBufferCount(), 6);
        QVERIFY(rig.link.isBusy() && rig.link.isOpen());

        lease.reset();
        QVERIFY(!rig.link.isBusy());
        QVERIFY(attempt());
    }
};

LUMIVOR_TEST(LinkServiceTest)
#include "tst_link_service.moc"
