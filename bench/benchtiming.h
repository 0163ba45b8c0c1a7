#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace lumivor::bench {

// Runs work `runs` times and prints the fastest, median and mean time of one run.
// The result of each run goes to sink so the optimiser cannot drop the work.
template<typename Work, typename Sink> void report(const char* name, int runs, Work work, Sink sink)
{
    using Clock = std::chrono::steady_clock;
    std::vector<double> microseconds;
    microseconds.reserve(static_cast<std::size_t>(runs));
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        sink(work());
        const auto stop = Clock::now();
        microseconds.push_back(std::chrono::duration<double, std::micro>(stop - start).count());
    }
    std::sort(microseconds.begin(), microseconds.end());
    double total = 0;
    for (const double time : microseconds)
        total += time;
    std::printf("%-48s runs %6d   min %9.1f us   median %9.1f us   mean %9.1f us\n", name, runs,
                microseconds.front(), microseconds[microseconds.size() / 2], total / runs);
}

} // namespace lumivor::bench
