// The benchmarks' references: the blend built for AVX2 draws what the blend for the baseline
// processor draws, and both placements of the checksum (and the earlier one) sum alike, so that
// a ratio against either reference measures the same work.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <unistd.h>

#include "bench/Reference.h"
#include "bench/records/FirstLoadRef.h"

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

// The first-load reference reads the file in the loader's windows: every byte summed once, the
// last window short or whole, the file in the page cache or dropped from it.
TEST(BenchReference, TheFileReadByWindowsSumsItsBytes) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("tobrelk_test_ref_" + std::to_string(::getpid()));
    std::mt19937 rng(11);
    constexpr std::size_t w = bench_load::kReadWindow;
    for (std::size_t n : {std::size_t{0}, std::size_t{1}, w - 1, w, w + 1, 3 * w + 17}) {
        std::string bytes(n, '\0');
        uint32_t want = 0;
        for (char& c : bytes) {
            c = static_cast<char>(rng());
            want += static_cast<unsigned char>(c);
        }
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite(bytes.data(), 1, n, f), n);
        ASSERT_EQ(std::fclose(f), 0);
        uint32_t sum = 1;
        EXPECT_TRUE(bench_load::ReadAndSum(path.string(), sum));
        EXPECT_EQ(sum, want) << n;
        bool read = false;
        const bench_load::cSumAndTouchRef ref{&bytes, 1 << 20, path.string()};
        EXPECT_GT(ref.Uncached(read).wall, 0);
        EXPECT_TRUE(read) << n;
        EXPECT_TRUE(bench_load::ReadAndSum(path.string(), sum));
        EXPECT_EQ(sum, want) << n << " after the drop";
    }
    std::filesystem::remove(path);
    uint32_t sum = 0;
    EXPECT_FALSE(bench_load::ReadAndSum(path.string(), sum));
}

} // namespace
