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
#include <sys/resource.h>
#include <vector>

namespace bench {

inline double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// User + system time of this process and of its waited-for children: less
// sensitive than the wall clock to the other processes of a busy machine.
inline double cpuNow() {
    struct rusage self {
    }, children{};
    ::getrusage(RUSAGE_SELF, &self);
    ::getrusage(RUSAGE_CHILDREN, &children);
    auto seconds = [](const struct timeval& t) {
        return double(t.tv_sec) + double(t.tv_usec) * 1e-6;
    };
    return seconds(self.ru_utime) + seconds(self.ru_stime) + seconds(children.ru_utime) +
           seconds(children.ru_stime);
}

struct Sample {
    double wall = 0; // seconds
    double cpu = 0;
};

// Time taken by work, the mean of reps runs (short work is repeated so that
// the clock's resolution and one-off hiccups weigh less).
inline Sample timed(const std::function<void()>& work, int reps = 1) {
    const double c0 = cpuNow();
    const double t0 = now();
    for (int i = 0; i < reps; ++i)
        work();
    return {(now() - t0) / reps, (cpuNow() - c0) / reps};
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
    std::vector<double> measured, baseline; // wall seconds, one per round
    std::vector<double> measuredCpu, baselineCpu;

    static std::vector<double> ratios(const std::vector<double>& a, const std::vector<double>& b) {
        std::vector<double> r;
        for (size_t i = 0; i < a.size() && i < b.size(); ++i)
            r.push_back(b[i] > 0 ? a[i] / b[i] : 0);
        return r;
    }
    std::vector<double> ratios() const { return ratios(measured, baseline); }
    std::vector<double> cpuRatios() const { return ratios(measuredCpu, baselineCpu); }
};

// Runs rounds of (measured, baseline), alternating the order; each function
// returns what it measured (so that it can leave its setup untimed).
inline Paired runPaired(int rounds, const std::function<Sample()>& measured,
                        const std::function<Sample()>& baseline) {
    Paired p;
    for (int round = 0; round < rounds; ++round) {
        Sample m, b;
        if (round % 2 == 0) {
            m = measured();
            b = baseline();
        } else {
            b = baseline();
            m = measured();
        }
        p.measured.push_back(m.wall);
        p.baseline.push_back(b.wall);
        p.measuredCpu.push_back(m.cpu);
        p.baselineCpu.push_back(b.cpu);
    }
    return p;
}

// One block per comparison, the same shape for every benchmark. The target,
// when given, is judged on the median of the paired wall-time ratios; the
// cpu-time ratios are shown beside them.
inline void report(const std::string& what, const std::string& measuredName,
                   const std::string& baselineName, const Paired& p, double target) {
    const std::vector<double> r = p.ratios(), rc = p.cpuRatios();
    const double med = median(r);
    std::printf("%s\n  %-36s median %9.3f ms  min %9.3f ms  (cpu median %9.3f ms)\n"
                "  %-36s median %9.3f ms  min %9.3f ms  (cpu median %9.3f ms)\n"
                "  paired ratio over %zu rounds: min %.3f  median %.3f  (cpu: min %.3f  median "
                "%.3f)",
                what.c_str(), measuredName.c_str(), median(p.measured) * 1e3,
                least(p.measured) * 1e3, median(p.measuredCpu) * 1e3, baselineName.c_str(),
                median(p.baseline) * 1e3, least(p.baseline) * 1e3, median(p.baselineCpu) * 1e3,
                r.size(), least(r), med, least(rc), median(rc));
    if (target > 0)
        std::printf("\n  target <= %.2f: %s", target, med <= target ? "met" : "NOT met");
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
