// What the commands' arguments and replies are made of, beyond the bytes (which meet the
// controller in tests/sim and are not restated here): argument ranges, the one shape that
// is no command, the reply rules, and the numbers an operator types.
#include "protocol/arguments.h"
#include "protocol/graphicscommands.h"
#include "protocol/linkcommands.h"
#include "protocol/operatornumber.h"
#include "protocol/rates.h"
#include "testsuite.h"

#include <QTest>

#include <cfenv>
#include <type_traits>

using namespace lumivor::protocol;

namespace {

// A constant argument out of range must not compile; from(int) is the run-time way.
template<int Value>
concept ConstantPage = requires
{
    typename std::integral_constant<int, Page(Value).value()>;
};
static_assert(ConstantPage<0> && ConstantPage<7>);
static_assert(!ConstantPage<8> && !ConstantPage<-1>);
static_assert(!std::is_convertible_v<int, Page>, "an int must not turn into a page unnoticed");

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void clearingAReversedRectangleIsNoCommand()
    {
        QVERIFY(!shape(ShapeOperation::Clear, Shape::ReversedRectangle, 1, 2, 3, 4));
        QVERIFY(shape(ShapeOperation::Draw, Shape::ReversedRectangle, 1, 2, 3, 4));
    }

    void detectionReplies_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("settings");
        QTest::addColumn<std::optional<int>>("contrast");
        const std::optional<int> none;
        QTest::newRow("whole") << "64,128!KESTRIN 240x64" << true << true << std::optional(128);
        QTest::newRow("a 6 before the rest has come")
            << "64,1" << true << false << std::optional(1);
        QTest::newRow("no comma: before the first !")
            << "12!64" << true << true << std::optional(12);
        QTest::newRow("contrast out of range") << "64,256!" << true << true << none;
        QTest::newRow("neither 6 nor !") << "KT" << false << false << none;
    }
    void detectionReplies()
    {
        QFETCH(QString, reply);
        QFETCH(bool, answer);
        QFETCH(bool, settings);
        QFETCH(std::optional<int>, contrast);
        QCOMPARE(isDetectionAnswer(reply), answer);
        QCOMPARE(carriesSettings(reply), settings);
        QCOMPARE(reportedContrast(reply), contrast);
    }
};

class TestOperatorNumber : public QObject
{
    Q_OBJECT

private slots:
    void reading_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("byte"); // -1: refused
        QTest::addColumn<QString>("reason");
        const QString empty = "empty", notANumber = "not a number",
                      outOfRange = QStringLiteral("out of range 0\u2013255");
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        const QLocale german(QLocale::German, QLocale::Germany);
        const QLocale arabic(QLocale::Arabic, QLocale::Egypt);
        const auto row = [](const char* name, const QLocale& locale, const QString& text, int byte,
                            const QString& reason = QString()) {
            QTest::newRow(name) << locale << text << byte << reason;
        };
        row("blanks around", english, " \t 42 \n", 42);
        row("highest", english, "255", 255);
        row("half to even, down", english, "12.5", 12);
        row("half to even, up", english, "13.5", 14);
        row("above a half", english, "12.51", 13);
        row("255.5 rounds out of range", english, "255.5", -1, outOfRange);
        row("minus a half rounds to 0", english, "-0.5", 0);
        row("-0.6 rounds to -1", english, "-0.6", -1, outOfRange);
        row("exponent", english, "2.55e2", 255);
        row("huge", english, "1e300", -1, outOfRange);
        row("only blanks", english, "   ", -1, empty);
        row("trailing letter", english, "12a", -1, notANumber);
        row("nan", english, "nan", -1, notANumber);
        row("group separator", english, "1,000", -1, notANumber);
        row("comma locale, half down", german, "12,5", 12);
        row("comma locale, point", german, "12.5", -1, notANumber);
        row("native digits and half", arabic, QStringLiteral("\u0661\u0662\u066B\u0665"), 12);
    }
    void reading()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, text);
        QFETCH(int, byte);
        QFETCH(QString, reason);
        const OperatorByte result = readOperatorByte(text, locale);
        QCOMPARE(result.ok() ? int(result.value()) : -1, byte);
        QCOMPARE(result.reason(), reason);
        QCOMPARE(result.problem() ? problemText(*result.problem()) : QString(), reason);
    }

    void roundingIgnoresTheProcessorsMode()
    {
        const int saved = std::fegetround();
        for (const int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
            std::fesetround(mode);
            const std::array halves = {roundHalfToEven(12.5), roundHalfToEven(13.5),
                                       roundHalfToEven(-2.5), roundHalfToEven(-1.5)};
            std::fesetround(saved);
            QVERIFY(halves == (std::array{12.0, 14.0, -2.0, -2.0}));
        }
    }
};

LUMIVOR_TEST(TestCommands)
LUMIVOR_TEST(TestOperatorNumber)
#include "tst_commands.moc"
