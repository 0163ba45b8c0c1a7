#pragma once

#include <QObject>

#include <functional>
#include <memory>

namespace lumivor::testing {

// Several Qt Test classes in one test program: each file registers its class
// with LUMIVOR_TEST(Class) instead of QTEST_MAIN, and the program's main()
// (testmain.cpp) runs them all, or only those named on the command line:
//   tst_link                              every class
//   tst_link LinkServiceTest -v2          one class, with Qt Test's options
using TestFactory = std::function<std::unique_ptr<QObject>()>;
bool registerTest(const char* name, TestFactory factory);

} // namespace lumivor::testing

#define LUMIVOR_TEST(Class)                                                                       \
    [[maybe_unused]] static const bool registered##Class =                                       \
        ::lumivor::testing::registerTest(#Class, [] { return std::make_unique<Class>(); });
