#pragma once

// What every fuzz target shares: a property that must hold ends the run
// loudly (libFuzzer keeps the input), and a Qt application exists for the
// image plugins and the event-free timers of the link layer.
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: %s does not hold\n", __FILE__, __LINE__, #condition);   \
            std::abort();                                                                         \
        }                                                                                         \
    } while (false)

namespace lumivor::fuzzing {

inline void ensureApplication()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* application =
        QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)application;
}

} // namespace lumivor::fuzzing
