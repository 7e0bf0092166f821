#pragma once
// Physical references for the benchmarks. The machine the benchmarks run on is shared, so an
// absolute time says little; each benchmark times a reference in the same process, interleaved
// with its own iterations, and prints its median against the reference's median:
//  - x_memcpy: a memcpy of a 640x480x4 frame;
//  - x_blend:  a plain C++ alpha blend of a 640x480 frame over another;
//  - x_sum:    a byte checksum of the bytes a loader reads.
// Times are the thread's CPU time, so waiting for a core is not counted.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace bench_ref {

inline double CpuNs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

inline double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

constexpr int kW = 640, kH = 480, kPixels = kW * kH;

// Two frames with varied alpha, made once.
struct Frames {
    std::vector<uint32_t> src, dst;
    Frames() : src(kPixels), dst(kPixels) {
        for (int i = 0; i < kPixels; ++i) {
            src[static_cast<size_t>(i)] = static_cast<uint32_t>(i * 2654435761u);
            dst[static_cast<size_t>(i)] = static_cast<uint32_t>(i * 40503u + 12345u);
        }
    }
};
inline Frames& RefFrames() {
    static Frames f;
    return f;
}

inline void RefMemcpy() {
    Frames& f = RefFrames();
    std::memcpy(f.dst.data(), f.src.data(), static_cast<size_t>(kPixels) * 4);
    benchmark::ClobberMemory();
}

// Per channel: d = (s * a + d * (255 - a)) / 255, written as anyone would write it first.
inline void RefBlend() {
    Frames& f = RefFrames();
    const uint32_t* s = f.src.data();
    uint32_t* d = f.dst.data();
    for (int i = 0; i < kPixels; ++i) {
        const uint32_t sp = s[i], dp = d[i], a = sp >> 24, ia = 255 - a;
        uint32_t out = 0;
        for (int sh = 0; sh < 32; sh += 8) {
            const uint32_t c = (((sp >> sh) & 255) * a + ((dp >> sh) & 255) * ia) / 255;
            out |= c << sh;
        }
        d[i] = out;
    }
    benchmark::ClobberMemory();
}

inline uint32_t RefChecksum(const std::string& bytes) {
    uint32_t sum = 0;
    for (unsigned char c : bytes) sum += c;
    benchmark::DoNotOptimize(sum);
    return sum;
}

// Runs the benchmark loop with work timed per iteration and the reference timed after each
// iteration (outside the benchmark's own clock); sets counter "x_<name>" to the ratio of the
// medians, and "ref_us" to the reference's median.
template <class Work, class Ref>
void RunAgainst(benchmark::State& state, const char* name, Work&& work, Ref&& ref) {
    std::vector<double> tw, tr;
    ref(); // warm
    for (auto _ : state) {
        const double t0 = CpuNs();
        work();
        tw.push_back(CpuNs() - t0);
        state.PauseTiming();
        const double t1 = CpuNs();
        ref();
        tr.push_back(CpuNs() - t1);
        state.ResumeTiming();
    }
    const double mr = Median(tr);
    state.counters[std::string("x_") + name] = mr > 0 ? Median(tw) / mr : 0;
    state.counters["ref_us"] = mr / 1000.0;
}

} // namespace bench_ref
