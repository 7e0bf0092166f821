#pragma once
// Physical references for the benchmarks. The machine the benchmarks run on is shared, so an
// absolute time says little; each benchmark times a reference in the same process, interleaved
// with its own iterations, and prints its median against the reference's median:
//  - x_memcpy: a memcpy of a 640x480x4 frame;
//  - x_blend:  a plain C++ alpha blend of a 640x480 frame over another;
//  - x_sum:    a byte checksum of the bytes a loader reads, its loop placed twice and the faster
//              placement taken, so that where the linker puts it does not decide its speed.
// Both are built for the same instruction sets as our pixel loops (their AVX2 clones where the
// processor has them), so that neither reference is slower for want of the processor's vectors.
// For one round the earlier references are timed beside them (x_blend_old: the blend for the
// baseline processor alone; x_sum_old: the checksum wherever it lands), so that the change of
// reference can be seen next to the change of code.
// Times are the thread's CPU time, so waiting for a core is not counted.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <concepts>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

// The same choice of clones as the pixel loops make (platform/graphics/Raster.h).
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(TOBRELK_NO_PIXEL_CLONES) && \
    !defined(__SANITIZE_THREAD__) && !defined(__SANITIZE_ADDRESS__)
#define BENCH_REF_CLONES __attribute__((noinline, target_clones("avx2", "default")))
#else
#define BENCH_REF_CLONES __attribute__((noinline))
#endif
// Loop alignment by function (GCC; elsewhere the functions are aligned and their loops left),
// with the same clones as the blend.
#if defined(__GNUC__) && !defined(__clang__)
#define BENCH_REF_LOOPS_AT(n) BENCH_REF_CLONES __attribute__((aligned(64), optimize("align-loops=" #n)))
#else
#define BENCH_REF_LOOPS_AT(n) BENCH_REF_CLONES __attribute__((aligned(64)))
#endif

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

namespace detail {
// Per channel: d = (s * a + d * (255 - a)) / 255, written as anyone would write it first.
inline __attribute__((always_inline)) void BlendLoop(const uint32_t* s, uint32_t* d, int n) {
    for (int i = 0; i < n; ++i) {
        const uint32_t sp = s[i], dp = d[i], a = sp >> 24, ia = 255 - a;
        uint32_t out = 0;
        for (int sh = 0; sh < 32; sh += 8) {
            const uint32_t c = (((sp >> sh) & 255) * a + ((dp >> sh) & 255) * ia) / 255;
            out |= c << sh;
        }
        d[i] = out;
    }
}
BENCH_REF_CLONES static void BlendCloned(const uint32_t* s, uint32_t* d, int n) { BlendLoop(s, d, n); }
__attribute__((noinline)) static void BlendBaseline(const uint32_t* s, uint32_t* d, int n) { BlendLoop(s, d, n); }

// The byte checksum, placed twice: each copy starts a 64-byte line; the first aligns its loop
// to a line, the second to half a line past one (the padding before it moves the loop to the
// line's second half). A closing jump that straddles a line in one copy cannot in the other.
inline __attribute__((always_inline)) uint32_t SumLoop(const unsigned char* p, size_t n) {
    uint32_t sum = 0;
    for (size_t i = 0; i < n; ++i) sum += p[i];
    return sum;
}
BENCH_REF_LOOPS_AT(64) static uint32_t SumAtLine(const unsigned char* p, size_t n) {
    return SumLoop(p, n);
}
BENCH_REF_LOOPS_AT(32) static uint32_t SumAtHalfLine(const unsigned char* p, size_t n) {
    __asm__ volatile("jmp 1f\n\t.skip 30, 0x90\n1:");
    return SumLoop(p, n);
}
// Wherever the compiler puts it: the earlier reference.
__attribute__((noinline)) static uint32_t SumAnywhere(const unsigned char* p, size_t n) { return SumLoop(p, n); }

template <class Fn>
double TimeNs(Fn&& fn) {
    const double t0 = CpuNs();
    fn();
    return CpuNs() - t0;
}
} // namespace detail

// A reference for RunAgainst: Fair() times the reference, Old() the one it replaces (a negative
// time: none), each in ns of CPU time.
struct cBlendRef {
    // The blend built as our pixel loops are: its AVX2 clone where the processor has it.
    static void RunFair() {
        Frames& f = RefFrames();
        detail::BlendCloned(f.src.data(), f.dst.data(), kPixels);
        benchmark::ClobberMemory();
    }
    // The blend for the baseline processor alone, as the earlier rounds timed it.
    static void RunOld() {
        Frames& f = RefFrames();
        detail::BlendBaseline(f.src.data(), f.dst.data(), kPixels);
        benchmark::ClobberMemory();
    }
    double Fair() const { return detail::TimeNs(RunFair); }
    double Old() const { return detail::TimeNs(RunOld); }
};
inline constexpr cBlendRef RefBlend{};

// The byte checksum of the bytes a loader reads: the faster of its two placements.
struct cChecksumRef {
    const std::string* bytes;
    const unsigned char* Data() const { return reinterpret_cast<const unsigned char*>(bytes->data()); }
    // Each placement twice, in turn: the first pass also pays for bringing the bytes back into
    // the caches after the work, which the placement does not decide.
    double Fair() const {
        double best = 1e300;
        for (int round = 0; round < 2; ++round) {
            uint32_t a = 0, b = 0;
            best = std::min(best, detail::TimeNs([&] { a = detail::SumAtLine(Data(), bytes->size()); }));
            best = std::min(best, detail::TimeNs([&] { b = detail::SumAtHalfLine(Data(), bytes->size()); }));
            benchmark::DoNotOptimize(a);
            benchmark::DoNotOptimize(b);
        }
        return best;
    }
    double Old() const {
        uint32_t s = 0;
        const double t = detail::TimeNs([&] { s = detail::SumAnywhere(Data(), bytes->size()); });
        benchmark::DoNotOptimize(s);
        return t;
    }
};
inline cChecksumRef RefChecksum(const std::string& bytes) { return cChecksumRef{&bytes}; }

// Any other work as a reference of its own (no earlier one beside it).
template <class Fn>
struct cPlainRef {
    Fn fn;
    double Fair() const { return detail::TimeNs(fn); }
    double Old() const { return -1; }
};

// The reference's ratios from samples of the work's and the reference's times (ns): sets
// counter "x_<name>" to the ratio of the medians and "ref_us" to the reference's median, and
// with an earlier reference beside it "x_<name>_old" and "ref_old_us" the same way.
inline void SetRatios(benchmark::State& state, const char* name, const std::vector<double>& tw,
                      const std::vector<double>& tr, const std::vector<double>& to) {
    const double mw = Median(tw), mr = Median(tr);
    state.counters[std::string("x_") + name] = mr > 0 ? mw / mr : 0;
    state.counters["ref_us"] = mr / 1000.0;
    if (!to.empty()) {
        const double mo = Median(to);
        state.counters[std::string("x_") + name + "_old"] = mo > 0 ? mw / mo : 0;
        state.counters["ref_old_us"] = mo / 1000.0;
    }
}

// How many iterations apart the reference is timed: about kRefSamples times per run, however
// many iterations the run has (a case that does next to nothing runs a great many, and a
// reference after each would make its suite run for many minutes).
constexpr int64_t kRefSamples = 64;
inline int64_t RefStride(const benchmark::State& state) {
    return std::max<int64_t>(1, static_cast<int64_t>(state.max_iterations) / kRefSamples);
}

template <class Ref>
concept TimedRef = requires(const Ref& r) {
    { r.Fair() } -> std::convertible_to<double>;
    { r.Old() } -> std::convertible_to<double>;
};

// No work between iterations.
struct cNothingBetween {
    void operator()() const {}
};

// Runs the benchmark loop with work timed per iteration and the reference timed between
// iterations (outside the benchmark's own clock), then sets the ratios (SetRatios). The
// reference is a TimedRef or a plain callable. Between, when given, runs after every
// iteration outside both clocks (a scene put back as the work's name has it, say).
template <class Work, class Between, class Ref>
void RunAgainstBetween(benchmark::State& state, const char* name, Work&& work, Between&& between, Ref&& ref) {
    if constexpr (!TimedRef<std::remove_cvref_t<Ref>>) {
        RunAgainstBetween(state, name, std::forward<Work>(work), std::forward<Between>(between),
                          cPlainRef<std::remove_cvref_t<Ref>>{ref});
    } else {
        constexpr bool kBetween = !std::is_same_v<std::remove_cvref_t<Between>, cNothingBetween>;
        std::vector<double> tw, tr, to;
        ref.Fair(); // warm
        ref.Old();
        const int64_t stride = RefStride(state);
        int64_t i = 0;
        for (auto _ : state) {
            const double t0 = CpuNs();
            work();
            tw.push_back(CpuNs() - t0);
            const bool timeRef = ++i % stride == 0 || i == 1;
            if (timeRef || kBetween) state.PauseTiming();
            if (timeRef) {
                // The earlier reference first, right after the work, as it was timed before.
                if (const double o = ref.Old(); o >= 0) to.push_back(o);
                tr.push_back(ref.Fair());
            }
            if constexpr (kBetween) between();
            if (timeRef || kBetween) state.ResumeTiming();
        }
        SetRatios(state, name, tw, tr, to);
    }
}

template <class Work, class Ref>
void RunAgainst(benchmark::State& state, const char* name, Work&& work, Ref&& ref) {
    RunAgainstBetween(state, name, std::forward<Work>(work), cNothingBetween{}, std::forward<Ref>(ref));
}

} // namespace bench_ref
