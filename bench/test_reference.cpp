// The benchmarks' references: the blend built for AVX2 draws what the blend for the baseline
// processor draws, and both placements of the checksum (and the earlier one) sum alike, so that
// a ratio against either reference measures the same work.
#include <gtest/gtest.h>

#include <random>

#include "bench/Reference.h"

namespace {

TEST(BenchReference, TheBlendForEitherProcessorDrawsTheSameFrame) {
    std::mt19937 rng(39);
    std::vector<uint32_t> src(4099), dstFair(src.size()), dstOld(src.size());
    for (std::size_t i = 0; i < src.size(); ++i) {
        src[i] = rng();
        dstFair[i] = dstOld[i] = rng();
    }
    // Alpha 0 and 255 too, and a length that leaves a tail after the vector blocks.
    src[0] &= 0x00FFFFFFu;
    src[1] |= 0xFF000000u;
    const std::vector<uint32_t> before = dstFair;
    bench_ref::detail::BlendCloned(src.data(), dstFair.data(), static_cast<int>(src.size()));
    bench_ref::detail::BlendBaseline(src.data(), dstOld.data(), static_cast<int>(src.size()));
    EXPECT_EQ(dstFair, dstOld);
    for (std::size_t i : {std::size_t{0}, std::size_t{1}, std::size_t{2}, src.size() - 1}) {
        const uint32_t s = src[i], d = before[i], a = s >> 24;
        uint32_t want = 0;
        for (int sh = 0; sh < 32; sh += 8)
            want |= ((((s >> sh) & 255) * a + ((d >> sh) & 255) * (255 - a)) / 255) << sh;
        EXPECT_EQ(dstFair[i], want) << i;
    }
    // The whole frames the benchmarks time.
    bench_ref::cBlendRef::RunFair();
    const std::vector<uint32_t> fair = bench_ref::RefFrames().dst;
    bench_ref::RefFrames() = bench_ref::Frames();
    bench_ref::cBlendRef::RunOld();
    EXPECT_EQ(bench_ref::RefFrames().dst, fair);
    bench_ref::RefFrames() = bench_ref::Frames();
}

TEST(BenchReference, EveryPlacementOfTheChecksumSumsTheBytes) {
    std::mt19937 rng(7);
    for (std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{15}, std::size_t{16}, std::size_t{100003}}) {
        std::string bytes(n, '\0');
        uint32_t want = 0;
        for (char& c : bytes) {
            c = static_cast<char>(rng());
            want += static_cast<unsigned char>(c);
        }
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
        EXPECT_EQ(bench_ref::detail::SumAtLine(p, n), want) << n;
        EXPECT_EQ(bench_ref::detail::SumAtHalfLine(p, n), want) << n;
        EXPECT_EQ(bench_ref::detail::SumAnywhere(p, n), want) << n;
        const bench_ref::cChecksumRef ref = bench_ref::RefChecksum(bytes);
        EXPECT_GE(ref.Fair(), 0);
        EXPECT_GE(ref.Old(), 0);
    }
}

} // namespace
