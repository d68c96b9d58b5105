// The CRC-32 against zlib's own, carried across pieces of every length and alignment; the atomic counters and the
// critical sections, alone and shared by several threads.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "kve/kve_sync.h"
#include "support/PythonOracle.h"

namespace {

unsigned long crcOf(unsigned long start, const std::string &text)
{
    return crc32(start, reinterpret_cast<const unsigned char *>(text.data()), static_cast<unsigned int>(text.size()));
}

TEST(Crc32, KnownCheckValuesAndEmptyPieces)
{
    EXPECT_EQ(crcOf(0, "123456789"), 0xCBF43926ul);
    EXPECT_EQ(crcOf(0, "abc"), 0x352441C2ul);
    EXPECT_EQ(crcOf(0, std::string(32, '\0')), 0x190A55ADul);
    // Nothing to read leaves the running value alone, whatever it is, and whatever the pointer.
    const unsigned char byte = 0;
    for (unsigned long running : {0ul, 1ul, 0xCBF43926ul, 0xFFFFFFFFul, 0x123456789ul}) {
        EXPECT_EQ(crc32(running, &byte, 0), running);
        EXPECT_EQ(crc32(running, nullptr, 0), running);
    }
    // A null buffer with bytes to read starts over instead of reading through the pointer.
    EXPECT_EQ(crc32(0x1234, nullptr, 16), 0ul);
}

// Reads `sizes` consecutive pieces of `data` in chained calls, from two starting values, and checks the running value
// after every piece against Python's zlib over the same pieces.
void expectPiecesMatchZlib(const std::vector<unsigned char> &data, const std::vector<unsigned> &sizes)
{
    const std::string path = ::testing::TempDir() + "kve_crc32_" + std::to_string(getpid()) + ".bin";
    FILE *file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(data.data(), 1, data.size(), file), data.size());
    std::fclose(file);
    for (unsigned long start : {0ul, 0xDEADBEEFul}) {
        std::vector<std::string> args{path, kvetest::oracleArg(static_cast<double>(start))};
        for (unsigned size : sizes)
            args.push_back(std::to_string(size));
        const std::vector<double> expected = kvetest::runOracle("crc32.py", args);
        ASSERT_EQ(expected.size(), sizes.size());
        unsigned long running = start;
        size_t offset = 0;
        for (size_t i = 0; i < sizes.size(); ++i) {
            ASSERT_LE(offset + sizes[i], data.size());
            running = crc32(running, data.data() + offset, sizes[i]);
            offset += sizes[i];
            ASSERT_EQ(running, static_cast<unsigned long>(expected[i]))
                << "piece " << i << " of " << sizes[i] << " bytes at " << offset - sizes[i] << " from " << start;
        }
    }
    std::remove(path.c_str());
}

std::vector<unsigned char> randomBytes(size_t count, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<unsigned char> data(count);
    for (auto &b : data)
        b = static_cast<unsigned char>(random());
    return data;
}

TEST(Crc32, MatchesZlibOnRandomBytesCarriedAcrossPieces)
{
    const std::vector<unsigned char> data = randomBytes(70000, 20);
    // Pieces of every length from 0 to 17 cross the eight-byte steps at every offset; a long one runs the steps.
    std::vector<unsigned> sizes;
    size_t total = 0;
    for (unsigned size = 0; size <= 17; ++size)
        for (unsigned repeat = 0; repeat < 3; ++repeat) {
            sizes.push_back(size);
            total += size;
        }
    sizes.push_back(65536);
    total += 65536;
    sizes.push_back(static_cast<unsigned>(data.size() - total));
    expectPiecesMatchZlib(data, sizes);
}

TEST(Crc32, MatchesZlibOnPiecesAroundTheKibibyteBlocks)
{
    // Long pieces are read a kibibyte at a time in four lanes of 256 bytes, then in eight-byte steps, then byte by
    // byte: lengths just short of, at and past one, two and four blocks, and past the eight-byte steps after a block,
    // each starting at even and odd alignments (a short piece before it moves it there).
    const unsigned lengths[] = {256, 1016, 1023, 1024, 1025, 1031, 1032, 1033, 2047, 2048, 2049, 4096 + 256 + 17};
    const unsigned alignments[] = {0, 1, 3, 4, 7};
    std::vector<unsigned> sizes;
    size_t total = 0;
    for (unsigned alignment : alignments)
        for (unsigned length : lengths) {
            const unsigned lead = static_cast<unsigned>((alignment + 8 - total % 8) % 8);
            sizes.push_back(lead);
            sizes.push_back(length);
            total += lead + length;
        }
    expectPiecesMatchZlib(randomBytes(total, 21), sizes);
}

TEST(Interlocked, CountsUpAndDownFromZero)
{
    volatile int64_t counter = 0;
    EXPECT_EQ(InterlockedIncrement(&counter), 1);
    EXPECT_EQ(InterlockedIncrement(&counter), 2);
    counter = 1;
    EXPECT_EQ(InterlockedDecrement(&counter), 0);
    EXPECT_EQ(InterlockedDecrement(&counter), -1);
    counter = INT64_C(0xFFFFFFFF);
    EXPECT_EQ(InterlockedIncrement(&counter), INT64_C(0x100000000));
    EXPECT_EQ(InterlockedIncrement(nullptr), 0);
    EXPECT_EQ(InterlockedDecrement(nullptr), 0);
}

TEST(SyncThreads, CountersAndSectionsSharedByFourThreads)
{
    constexpr int kThreads = 4, kRounds = 20000;
    volatile int64_t counter = 0;
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    int64_t guarded = 0; // changed only inside the section
    std::atomic<int> inside{0}, overlaps{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int r = 0; r < kRounds; ++r) {
                if ((r + t) % 2 == 0)
                    InterlockedIncrement(&counter);
                else
                    InterlockedDecrement(&counter);
                InterlockedIncrement(&counter);
                EnterCriticalSection(&section);
                if (inside.fetch_add(1) != 0)
                    overlaps.fetch_add(1);
                ++guarded;
                inside.fetch_sub(1);
                LeaveCriticalSection(&section);
            }
        });
    for (auto &th : threads)
        th.join();
    DeleteCriticalSection(&section);
    EXPECT_EQ(counter, int64_t{kThreads} * kRounds);
    EXPECT_EQ(guarded, int64_t{kThreads} * kRounds);
    EXPECT_EQ(overlaps.load(), 0);
}

} // namespace
