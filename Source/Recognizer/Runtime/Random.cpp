// The lagged-Fibonacci generator with lags 100 and 37 modulo 2^30: each value is the difference of the values 100
// and 37 places back. Seeding spreads the seed's bits over the state by repeated squaring so that distinct seeds give
// streams at least 2^70 values apart; values are handed out from a pass of 1009, of which only the first 100 are
// used, since the later ones of a pass are the ones the state carries on.
#include <kve/kve_recognizer_runtime.h>

#include <cstring>

namespace {

constexpr int kLong = SRANDOM_LAG;
constexpr int kShort = 37;
constexpr uint32_t kModulus = 1u << 30;
constexpr int kSeparation = 70;
constexpr int kSeedWords = kLong + kLong - 1;

uint32_t modDiff(uint32_t x, uint32_t y)
{
    return (x - y) & (kModulus - 1);
}

void seed(uint32_t *state, uint32_t seedValue)
{
    uint32_t x[kSeedWords];
    uint32_t ss = (seedValue + 2) & (kModulus - 2);
    for (int j = 0; j < kLong; ++j) {
        x[j] = ss;
        ss <<= 1;
        if (ss >= kModulus)
            ss -= kModulus - 2;
    }
    ++x[1];
    ss = seedValue & (kModulus - 1);
    for (int t = kSeparation - 1; t > 0;) {
        // Square the polynomial the state stands for, then reduce it modulo z^100 + z^37 + 1.
        for (int j = kLong - 1; j > 0; --j) {
            x[j + j] = x[j];
            x[j + j - 1] = 0;
        }
        for (int j = kSeedWords - 1; j >= kLong; --j) {
            x[j - (kLong - kShort)] = modDiff(x[j - (kLong - kShort)], x[j]);
            x[j - kLong] = modDiff(x[j - kLong], x[j]);
        }
        // An odd seed bit multiplies by z as well.
        if (ss & 1) {
            for (int j = kLong; j > 0; --j)
                x[j] = x[j - 1];
            x[0] = x[kLong];
            x[kShort] = modDiff(x[kShort], x[kLong]);
        }
        if (ss != 0)
            ss >>= 1;
        else
            --t;
    }
    for (int j = 0; j < kShort; ++j)
        state[j + kLong - kShort] = x[j];
    for (int j = kShort; j < kLong; ++j)
        state[j - kShort] = x[j];
    for (int j = 0; j < 10; ++j)
        srandomFill(state, x, kSeedWords);
}

} // namespace

extern "C" void srandomFill(uint32_t *state, uint32_t *output, size_t count)
{
    // The state is rebuilt from the last 100 values written: a shorter pass has none to rebuild it from.
    if (count < static_cast<size_t>(kLong))
        return;
    size_t j = 0;
    for (; j < static_cast<size_t>(kLong); ++j)
        output[j] = state[j];
    for (; j < count; ++j)
        output[j] = modDiff(output[j - kLong], output[j - kShort]);
    int i = 0;
    for (; i < kShort; ++i, ++j)
        state[i] = modDiff(output[j - kLong], output[j - kShort]);
    for (; i < kLong; ++i, ++j)
        state[i] = modDiff(output[j - kLong], state[i - kShort]);
}

extern "C" srandomRecord *srandomCreate(uint32_t seedValue)
{
    auto *generator = static_cast<srandomRecord *>(dbMalloc(sizeof(srandomRecord)));
    if (generator == nullptr)
        return nullptr;
    std::memset(generator, 0, sizeof *generator);
    seed(generator->state, seedValue);
    generator->index = kLong;
    return generator;
}

extern "C" uint32_t srandomNext(srandomRecord *generator)
{
    if (generator->index >= static_cast<uint32_t>(kLong)) {
        srandomFill(generator->state, generator->work, SRANDOM_WORK);
        generator->index = 0;
    }
    return generator->work[generator->index++];
}

extern "C" void srandomDestroy(srandomRecord *generator)
{
    dbFree(generator);
}
