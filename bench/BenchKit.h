#pragma once
// What the benchmarks share: rounds of timings with their min and median, and
// one row of the comparison table.
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace BenchKit {
struct Rounds {
    std::vector<double> ms;
    double min() const { return *std::min_element(ms.begin(), ms.end()); }
    double median() const {
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
};

inline double timed(const std::function<void()> &work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

inline void row(const char *what, const Rounds &ours, const char *against, const Rounds &theirs) {
    std::printf("| %-34s | %7.0f | %7.0f | %-28s | %7.0f | %7.0f | %5.2f |\n", what, ours.min(), ours.median(), against,
                theirs.min(), theirs.median(), ours.median() / theirs.median());
}

inline void header() {
    std::printf("| %-34s | %7s | %7s | %-28s | %7s | %7s | %5s |\n", "what", "min", "median", "against", "min",
                "median", "ratio");
    std::printf("|---|---|---|---|---|---|---|\n");
}
} // namespace BenchKit
