// The main() of every test program: a widgets application on the platform
// the environment names (offscreen under CTest), then each registered test
// class in turn, each with Qt Test's own command line.
#include "testsuite.h"

#include <QApplication>
#include <QList>
#include <QStringList>
#include <QTest>

#include <utility>

namespace lumivor::testing {

namespace {

struct Registered
{
    QString name;
    TestFactory factory;
};

QList<Registered>& registry()
{
    static QList<Registered> tests;
    return tests;
}

} // namespace

bool registerTest(const char* name, TestFactory factory)
{
    registry().append({QString::fromLatin1(name), std::move(factory)});
    return true;
}

} // namespace lumivor::testing

int main(int argc, char** argv)
{
    // Run by hand, a test program needs no display, as under CTest.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // As QTEST_MAIN does: sizes in tests do not depend on the screen's DPI.
    QApplication::setAttribute(Qt::AA_Use96Dpi, true);

    QStringList arguments = QApplication::arguments();
    QStringList chosen;
    while (arguments.size() > 1 && !arguments.at(1).startsWith(QLatin1Char('-'))) {
        chosen << arguments.takeAt(1);
    }
    int failed = 0;
    int run = 0;
    for (const auto& test : lumivor::testing::registry()) {
        if (!chosen.isEmpty() && !chosen.contains(test.name))
            continue;
        ++run;
        const std::unique_ptr<QObject> object = test.factory();
        failed += QTest::qExec(object.get(), arguments) != 0 ? 1 : 0;
    }
    if (run == 0) {
        qWarning("No test class is named %s", qPrintable(chosen.join(QLatin1String(", "))));
        return 2;
    }
    return failed;
}
