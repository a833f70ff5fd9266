#pragma once

// Paired rounds: each round times the measured work and its baseline back to
// back, alternating which goes first, and the figure is the ratio within each
// round. A load burst from another process then spoils one round's ratio, not
// the whole comparison, as a ratio of two unpaired medians would.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <string>
#include <vector>

namespace bench {

inline double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Seconds taken by work, the mean of reps runs (short work is repeated so
// that the clock's resolution and one-off hiccups weigh less).
inline double timed(const std::function<void()>& work, int reps = 1) {
    const double t0 = now();
    for (int i = 0; i < reps; ++i)
        work();
    return (now() - t0) / reps;
}

inline double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

inline double least(const std::vector<double>& v) {
    return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

struct Paired {
    std::vector<double> measured, baseline; // seconds, one per round

    std::vector<double> ratios() const {
        std::vector<double> r;
        for (size_t i = 0; i < measured.size() && i < baseline.size(); ++i)
            r.push_back(baseline[i] > 0 ? measured[i] / baseline[i] : 0);
        return r;
    }
};

// Runs rounds of (measured, baseline), alternating the order; each function
// returns the seconds it measured (so that it can leave its setup untimed).
inline Paired runPaired(int rounds, const std::function<double()>& measured,
                        const std::function<double()>& baseline) {
    Paired p;
    for (int round = 0; round < rounds; ++round) {
        double m, b;
        if (round % 2 == 0) {
            m = measured();
            b = baseline();
        } else {
            b = baseline();
            m = measured();
        }
        p.measured.push_back(m);
        p.baseline.push_back(b);
    }
    return p;
}

// One line per comparison, the same shape for every benchmark. The target,
// when given, is judged on the median of the paired ratios.
inline void report(const std::string& what, const std::string& measuredName,
                   const std::string& baselineName, const Paired& p, double target) {
    const std::vector<double> r = p.ratios();
    const double med = median(r);
    std::printf("%s\n  %-34s median %9.3f ms  min %9.3f ms\n"
                "  %-34s median %9.3f ms  min %9.3f ms\n"
                "  paired ratio over %zu rounds: min %.3f  median %.3f",
                what.c_str(), measuredName.c_str(), median(p.measured) * 1e3,
                least(p.measured) * 1e3, baselineName.c_str(), median(p.baseline) * 1e3,
                least(p.baseline) * 1e3, r.size(), least(r), med);
    if (target > 0)
        std::printf("  (target <= %.2f: %s)", target, med <= target ? "met" : "NOT met");
    std::printf("\n");
    std::fflush(stdout);
}

// Heap taken from the system, as malloc counts it. With trimming and mmap
// thresholds raised (keepHeap), freed memory stays in the arena, so the growth
// over a piece of work is its peak heap use.
inline void keepHeap() {
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_MMAP_THRESHOLD, 32 << 20); // the largest it takes
}

inline size_t heapBytes() {
    const struct mallinfo2 mi = mallinfo2();
    return mi.arena + mi.hblkhd;
}

} // namespace bench
