// The controller's exchanges with the console: replies, screens and the flash, strings
// typed in pieces, pixel strings, line rates, and commands split anywhere.
#include "model/decoder.h"
#include "simtest.h"

#include <QtTest>

#include <random>

using namespace kestrin;
using simtest::Bytes;
using simtest::hex;
using simtest::Rig;
using simtest::text;
using simtest::operator+;

namespace {

bool isLowerHex(const std::string& text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

Bytes decodeHex(const std::string& text)
{
    const QByteArray bytes = QByteArray::fromHex(QByteArray::fromStdString(text));
    return Bytes(bytes.begin(), bytes.end());
}

} // namespace

class TestSimExchanges : public QObject
{
    Q_OBJECT

private slots:
    void detectionAndIdentifierReplies_data();
    void detectionAndIdentifierReplies();
    void saveClearLoadRestoresScreen();
    void fullFlashReadSendsFlashAsLowercaseHex();
    void fullFlashWriteReplacesFlash();
    void stringTypedInPieces_data();
    void stringTypedInPieces();
    void pixelStringPacedByHand();
    void abandonedExchangesEnd_data();
    void abandonedExchangesEnd();
    void rateMismatchSilencesController();
    void splitAtEveryByteDecodesAsWhole();
};

void TestSimExchanges::detectionAndIdentifierReplies_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("detection") << QByteArray("49 44") << QByteArray("64,128!KESTRIN 240x64");
    QTest::newRow("detection after contrast")
        << QByteArray("10 28 49 44") << QByteArray("64,40!KESTRIN 240x64");
    QTest::newRow("contrast 0") << QByteArray("10 00 49 44") << QByteArray("64,0!KESTRIN 240x64");
    QTest::newRow("I then a command") << QByteArray("49 28 00") << QByteArray("KT24064!");
    QTest::newRow("identifier") << QByteArray("28 00") << QByteArray("KT24064!");
    QTest::newRow("identifier, wrong argument") << QByteArray("28 01") << QByteArray();
}

void TestSimExchanges::detectionAndIdentifierReplies()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, reply);
    Rig rig;
    rig.send(bytes.constData());
    QCOMPARE(QByteArray::fromStdString(rig.reply()), reply);
}

void TestSimExchanges::saveClearLoadRestoresScreen()
{
    Rig rig;
    rig.send("1E 02 0A 0A 32 1E 20 0A 64 20 06 05 02 41");
    const FrameBuffer drawn = rig.controller.frame();
    rig.send("11 C8 01 08");
    QCOMPARE(rig.litPixels(), 0);
    rig.send("08 C8");
    QVERIFY(rig.controller.frame() == drawn);
    QVERIFY(std::equal(drawn.bytes().begin(), drawn.bytes().end(),
                       rig.controller.flash().bytes().begin() + 200 * kScreenBytes));
}

void TestSimExchanges::fullFlashReadSendsFlashAsLowercaseHex()
{
    Rig rig;
    rig.send("1E 02 00 00 EF 3F 11 FF"); // something in the last screen too
    rig.send("29 01");
    Bytes received;
    for (int block = 0; block < kFlashBlockCount; ++block) {
        const std::string reply = rig.reply();
        QCOMPARE(reply.size(), std::size_t{480});
        QVERIFY(isLowerHex(reply));
        const Bytes decoded = decodeHex(reply);
        received.insert(received.end(), decoded.begin(), decoded.end());
        rig.send("29");
    }
    QCOMPARE(rig.reply(), std::string()); // the 29 after the last block asks for nothing
    QVERIFY(std::equal(received.begin(), received.end(), rig.controller.flash().bytes().begin(),
                       rig.controller.flash().bytes().end()));
    rig.send("49 44");
    QVERIFY(rig.reply().starts_with("64,"));
}

void TestSimExchanges::fullFlashWriteReplacesFlash()
{
    Rig rig;
    std::mt19937 random(7);
    Bytes image(kFlashSize);
    for (std::uint8_t& byte : image)
        byte = static_cast<std::uint8_t>(random());
    rig.send("29 02");
    for (int block = 0; block < kFlashBlockCount; ++block) {
        QCOMPARE(rig.reply(), std::string(">"));
        for (std::size_t i = 0; i < kFlashBlockSize; ++i) {
            rig.send(Bytes{image[block * kFlashBlockSize + i]});
            if (i + 1 < kFlashBlockSize)
                QVERIFY(rig.reply().empty());
        }
    }
    QCOMPARE(rig.reply(), std::string()); // no ready byte after the last block
    QVERIFY(std::equal(image.begin(), image.end(), rig.controller.flash().bytes().begin(),
                       rig.controller.flash().bytes().end()));
    rig.send("49 44");
    QVERIFY(rig.reply().starts_with("64,"));
}

void TestSimExchanges::stringTypedInPieces_data()
{
    // Each row: what the console sends in String mode, one piece per key press, and the
    // same text as Put character commands, which must leave the same picture.
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QByteArray>("sameAs");
    QTest::addColumn<int>("textBeforeLastPiece"); // lit pixels before the last piece
    using Pieces = QList<QByteArray>;
    QTest::newRow("A, B, Enter") << Pieces{"26 41", "42", "0D"} << QByteArray("02 41 02 42") << 0;
    QTest::newRow("empty string") << Pieces{"26 0D"} << QByteArray() << 0;
    QTest::newRow("starts with &") << Pieces{"26 26", "0D"} << QByteArray("02 26") << 0;
    QTest::newRow("backspace") << Pieces{"26 41", "42", "08", "43", "0D"}
                               << QByteArray("02 41 02 43") << 0;
    QTest::newRow("unterminated, then a new string")
        << Pieces{"26 41", "42", "26 43", "0D"} << QByteArray("02 41 02 42 02 43") << -1;
    QTest::newRow("control byte ends it and runs")
        << Pieces{"26 41", "42", "12 64 02 5A"} << QByteArray("02 41 02 42 12 64 02 5A") << 0;
    QByteArray fortyFive = "26 41";
    QByteArray sameAs = "02 41";
    for (int i = 1; i < 45; ++i) {
        fortyFive += " 42";
        sameAs += " 02 42";
    }
    QTest::newRow("cut at 45, no terminator, next key opens a string")
        << Pieces{fortyFive, "26 43", "0D"} << (sameAs + " 02 43") << -1;
    QTest::newRow("cut at 45 prints at once") << Pieces{fortyFive} << sameAs << 0;
}

void TestSimExchanges::stringTypedInPieces()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QByteArray, sameAs);
    QFETCH(int, textBeforeLastPiece);
    Rig typed;
    Rig reference;
    typed.send("06 02 12 05");
    reference.send("06 02 12 05");
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i == pieces.size() - 1 && textBeforeLastPiece >= 0)
            QCOMPARE(typed.litPixels(), textBeforeLastPiece); // nothing shows before the end
        typed.wait(2000);
        typed.send(pieces[i].constData());
    }
    reference.send(sameAs.constData());
    QVERIFY(typed.controller.frame() == reference.controller.frame());
    QCOMPARE(typed.controller.text().column(), reference.controller.text().column());
    QVERIFY(typed.controller.decoder().idle());
}

void TestSimExchanges::pixelStringPacedByHand()
{
    Rig rig;
    rig.send("0A 03");
    rig.wait(5000);
    rig.send("0A 05");
    QVERIFY(rig.pixel(10, 5));
    rig.wait(20000);
    rig.send("EF 3F");
    rig.wait(8000);
    rig.send("FF 10"); // outside the screen: counted, not drawn
    QCOMPARE(rig.litPixels(), 2);
    QVERIFY(rig.pixel(239, 63));
    rig.send("49 44"); // the string is complete: these bytes are a command again
    QVERIFY(rig.reply().starts_with("64,"));
}

void TestSimExchanges::abandonedExchangesEnd_data()
{
    QTest::addColumn<QByteArray>("abandoned");
    QTest::addColumn<int>("silence");
    QTest::addColumn<int>("bytesAnswered"); // reply bytes of the abandoned exchange
    QTest::newRow("half a command") << QByteArray("1E 00 05") << 500 << 0;
    QTest::newRow("pixel string") << QByteArray("0A 05 01 01 02") << 30000 << 0;
    QTest::newRow("flash read") << QByteArray("29 01 29") << 5000 << 960;
    QTest::newRow("flash write") << QByteArray("29 02 01 02 03") << 2000 << 1;
    QTest::newRow("flash read, other command at once") << QByteArray("29 01") << 0 << 480;
}

void TestSimExchanges::abandonedExchangesEnd()
{
    QFETCH(QByteArray, abandoned);
    QFETCH(int, silence);
    QFETCH(int, bytesAnswered);
    Rig rig;
    rig.send(abandoned.constData());
    QCOMPARE(int(rig.reply().size()), bytesAnswered);
    if (silence > 0) {
        rig.wait(silence - 1);
        QVERIFY(!rig.controller.decoder().idle());
    }
    rig.wait(1);
    rig.send("49 44");
    QVERIFY(rig.reply().starts_with("64,"));
}

void TestSimExchanges::rateMismatchSilencesController()
{
    Rig rig;
    QCOMPARE(rig.controller.ownRate(), 9600);
    rig.sendAt(19200, hex("49 44 01 08"));
    QVERIFY(rig.reply().empty());
    // 0F 03 switches to 14400 at once: what follows in the same write came at 9600.
    rig.sendAt(9600, hex("1E 02 00 00 EF 3F 0F 03 49 44"));
    QVERIFY(rig.reply().empty());
    QCOMPARE(rig.controller.ownRate(), 14400);
    QVERIFY(rig.pixel(100, 30));
    rig.sendAt(9600, hex("49 44"));
    QVERIFY(rig.reply().empty());
    rig.sendAt(14400, hex("49 44"));
    QVERIFY(rig.reply().starts_with("64,"));
    rig.sendAt(14400, hex("0F 09")); // no such rate: stays
    QCOMPARE(rig.controller.ownRate(), 14400);
}

// Every command family in one script; fed whole, split in two anywhere, and byte by byte,
// it must leave the same controller behind.
void TestSimExchanges::splitAtEveryByteDecodesAsWhole()
{
    const Bytes script =
        hex("15 02 06 01 12 0A 02 41 26 42 43 0D 15 04 26 26 44 26 45 0D 1E 00 00 00 EF 3F "
            "1F 01 0A 05 14 0F 1E 03 01 01 30 30 20 14 78 20 21 05 78 20 0A 02 05 06 07 08 "
            "03 AA 03 55 1D 07 0B 05 10 40 09 00 0D 00 0D 01 23 02 05 01 1C 02 25 3F 1E 3F "
            "11 0C 01 03 08 0C 49 44 28 00 29 01 29 29 0F 02 99 29 02") +
        Bytes(300, 0x5A);
    const auto run = [&script](std::size_t cut, bool byteByByte) {
        auto rig = std::make_unique<Rig>();
        if (byteByByte) {
            for (const std::uint8_t byte : script)
                rig->send(Bytes{byte});
        } else {
            rig->send(Bytes(script.begin(), script.begin() + std::ptrdiff_t(cut)));
            rig->send(Bytes(script.begin() + std::ptrdiff_t(cut), script.end()));
        }
        return rig;
    };
    const auto whole = run(script.size(), false);
    const std::string wholeReply = whole->reply();
    QVERIFY(wholeReply.starts_with("64,64!KESTRIN 240x64KT24064!"));
    QCOMPARE(wholeReply.size(), std::size_t{20 + 8 + 3 * 480 + 2});
    QVERIFY(wholeReply.ends_with(">>")); // a ready byte before each of the two blocks
    QCOMPARE(int(whole->controller.flash().bytes()[299]), 0x5A);
    for (std::size_t cut = 0; cut <= script.size() + 1; ++cut) {
        const auto other = run(cut, cut > script.size());
        QVERIFY2(other->controller.frame() == whole->controller.frame(),
                 qPrintable(QString::number(cut)));
        QCOMPARE(other->reply(), wholeReply);
        QCOMPARE(other->controller.text().column(), whole->controller.text().column());
        QCOMPARE(other->controller.display().contrast, whole->controller.display().contrast);
        QVERIFY(std::equal(other->controller.flash().bytes().begin(),
                           other->controller.flash().bytes().end(),
                           whole->controller.flash().bytes().begin()));
    }
}

QTEST_GUILESS_MAIN(TestSimExchanges)
#include "tst_sim_exchanges.moc"
