// Reading the number an operator typed into a text box as one argument byte.
#include "protocol/operatornumber.h"

#include <QTest>

#include <cfenv>

using namespace lumivor::protocol;

namespace {
const QString empty = QStringLiteral("empty");
const QString notANumber = QStringLiteral("not a number");
const QString outOfRange = QStringLiteral("out of range 0\u2013255");
constexpr int refused = -1;
} // namespace

class TestOperatorNumber : public QObject
{
    Q_OBJECT

private:
    void addRow(const char* name, const QLocale& locale, const QString& text, int byte,
                const QString& reason = QString())
    {
        QTest::newRow(name) << locale << text << byte << reason;
    }

private slots:
    void reading_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("byte");
        QTest::addColumn<QString>("reason");

        const QLocale english(QLocale::English, QLocale::UnitedStates);
        addRow("whole number", english, "42", 42);
        addRow("zero", english, "0", 0);
        addRow("highest", english, "255", 255);
        addRow("blanks around", english, " \t 42 \n", 42);
        addRow("plus sign", english, "+12", 12);
        addRow("half to even, down", english, "12.5", 12);
        addRow("half to even, up", english, "13.5", 14);
        addRow("half of zero", english, "0.5", 0);
        addRow("one and a half", english, "1.5", 2);
        addRow("below a half", english, "12.49", 12);
        addRow("above a half", english, "12.51", 13);
        addRow("254.5 stays in range", english, "254.5", 254);
        addRow("255.4 rounds to 255", english, "255.4", 255);
        addRow("255.5 rounds out of range", english, "255.5", refused, outOfRange);
        addRow("256", english, "256", refused, outOfRange);
        addRow("negative", english, "-1", refused, outOfRange);
        addRow("small negative rounds to 0", english, "-0.4", 0);
        addRow("minus a half rounds to 0", english, "-0.5", 0);
        addRow("-0.6 rounds to -1", english, "-0.6", refused, outOfRange);
        addRow("exponent", english, "1e2", 100);
        addRow("exponent with fraction", english, "2.55e2", 255);
        addRow("huge", english, "1e300", refused, outOfRange);
        addRow("infinity", english, "inf", refused, outOfRange);
        addRow("empty", english, "", refused, empty);
        addRow("only blanks", english, "   ", refused, empty);
        addRow("letters", english, "abc", refused, notANumber);
        addRow("trailing letter", english, "12a", refused, notANumber);
        addRow("hexadecimal", english, "0x10", refused, notANumber);
        addRow("nan", english, "nan", refused, notANumber);
        addRow("two numbers", english, "1 2", refused, notANumber);
        addRow("comma where the point belongs", english, "12,5", refused, notANumber);
        addRow("group separator", english, "1,000", refused, notANumber);

        const QLocale german(QLocale::German, QLocale::Germany);
        addRow("comma locale, half down", german, "12,5", 12);
        addRow("comma locale, half up", german, "13,5", 14);
        addRow("comma locale, negative fraction", german, "-0,4", 0);
        addRow("comma locale, plain integer", german, "200", 200);
        addRow("comma locale, point", german, "12.5", refused, notANumber);

        const QLocale arabic(QLocale::Arabic, QLocale::Egypt);
        addRow("native digits", arabic, QStringLiteral("\u0661\u0662"), 12);
        addRow("native half", arabic, QStringLiteral("\u0661\u0662\u066B\u0665"), 12);
        addRow("western digits in a native-digit locale", arabic, "42", 42);
    }
    void reading()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, text);
        QFETCH(int, byte);
        QFETCH(QString, reason);
        const OperatorByte result = readOperatorByte(text, locale);
        QCOMPARE(result.ok(), byte != refused);
        QCOMPARE(result.reason(), reason);
        if (result.ok()) {
            QCOMPARE(int(result.value()), byte);
            QVERIFY(!result.problem());
        } else {
            QVERIFY(result.problem());
            QCOMPARE(problemText(*result.problem()), reason);
        }
    }

    void roundingIgnoresTheProcessorsMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("upward") << FE_UPWARD;
        QTest::newRow("downward") << FE_DOWNWARD;
        QTest::newRow("toward zero") << FE_TOWARDZERO;
    }
    void roundingIgnoresTheProcessorsMode()
    {
        QFETCH(int, mode);
        const int saved = std::fegetround();
        std::fesetround(mode);
        const double halves[] = {roundHalfToEven(12.5), roundHalfToEven(13.5),
                                 roundHalfToEven(-2.5), roundHalfToEven(-1.5)};
        std::fesetround(saved);
        QCOMPARE(halves[0], 12.0);
        QCOMPARE(halves[1], 14.0);
        QCOMPARE(halves[2], -2.0);
        QCOMPARE(halves[3], -2.0);
    }
};

QTEST_GUILESS_MAIN(TestOperatorNumber)
#include "tst_operatornumber.moc"
