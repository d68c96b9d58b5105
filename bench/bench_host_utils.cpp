// The host utilities beside bare peers: the CRC-32 beside zlib's, a job handed to an idle pool worker beside a bare
// condition-variable ping-pong and beside a thread started per job, and the cost of a text log switched off.
#include <dlfcn.h>
#include <zlib.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "BenchReport.h"
#include "kve/kve_log.h"
#include "kve/kve_thread_pool.h"

namespace {

using Crc32Call = unsigned long (*)(unsigned long, const unsigned char *, unsigned int);

// libkve.so and zlib both export `crc32`, and this program links both: a plain call could reach either. Ours is
// looked up in libkve.so's own handle (found through a function only it exports), whose search never reaches zlib
// since the library does not depend on it, and the address is checked to lie in libkve.so; zlib is timed through
// `crc32_z`, a name only it has.
Crc32Call libraryCrc32()
{
    Dl_info library{};
    if (dladdr(reinterpret_cast<void *>(&Tlog), &library) == 0)
        return nullptr;
    void *handle = dlopen(library.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr)
        return nullptr;
    void *symbol = dlsym(handle, "crc32");
    dlclose(handle);
    Dl_info found{};
    if (symbol == nullptr || dladdr(symbol, &found) == 0 || std::strcmp(found.dli_fname, library.dli_fname) != 0)
        return nullptr;
    return reinterpret_cast<Crc32Call>(symbol);
}

void BM_Crc32Over64KiB(benchmark::State &state)
{
    const Crc32Call ours = libraryCrc32();
    if (ours == nullptr) {
        state.SkipWithError("crc32 of libkve.so not found");
        return;
    }
    std::vector<unsigned char> data(64 * 1024);
    std::mt19937 random(1);
    for (auto &b : data)
        b = static_cast<unsigned char>(random());
    unsigned long a = 0, b = 0;
    const auto [oursTime, zlibTime] = timeInTurns(
        state, [&] { a = ours(a, data.data(), static_cast<unsigned int>(data.size())); },
        [&] { b = crc32_z(b, data.data(), data.size()); });
    if (a != b)
        state.SkipWithError("the two CRCs differ");
    state.counters["ours_over_zlib"] = oursTime / zlibTime;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 2 * static_cast<int64_t>(data.size()));
}
BENCHMARK(BM_Crc32Over64KiB)->UseRealTime();

// The end of one job, awaited by the thread that handed it over.
class Completion {
public:
    static void job(void *self) { static_cast<Completion *>(self)->signal(); }
    void signal()
    {
        std::lock_guard<std::mutex> hold(mutex_);
        done_ = true;
        changed_.notify_one();
    }
    void wait()
    {
        std::unique_lock<std::mutex> hold(mutex_);
        changed_.wait(hold, [&] { return done_; });
        done_ = false;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool done_ = false;
};

// The least a hand-over to a waiting thread can cost: one thread waits on a condition variable for work, runs the
// job, and waits again.
class PingPong {
public:
    PingPong()
        : thread_([this] {
              std::unique_lock<std::mutex> hold(mutex_);
              for (;;) {
                  changed_.wait(hold, [&] { return job_ != nullptr || stop_; });
                  if (job_ == nullptr)
                      return;
                  Completion *job = job_;
                  job_ = nullptr;
                  hold.unlock();
                  job->signal();
                  hold.lock();
              }
          })
    {
    }
    ~PingPong()
    {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            stop_ = true;
            changed_.notify_one();
        }
        thread_.join();
    }
    void run(Completion &done)
    {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            job_ = &done;
            changed_.notify_one();
        }
        done.wait();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    Completion *job_ = nullptr;
    bool stop_ = false;
    std::thread thread_;
};

void runPooled(CThreadPool &pool, Completion &done)
{
    pool.NewThread(&done, &Completion::job, 0);
    done.wait();
}

void BM_PoolJobBesidePingPong(benchmark::State &state)
{
    CThreadPool pool;
    PingPong bare;
    Completion pooledDone, bareDone;
    const auto [poolTime, bareTime] =
        timeInTurns(state, [&] { runPooled(pool, pooledDone); }, [&] { bare.run(bareDone); }, 20);
    state.counters["pool_over_pingpong"] = poolTime / bareTime;
}
BENCHMARK(BM_PoolJobBesidePingPong)->UseRealTime();

void BM_PoolJobBesideThreadPerJob(benchmark::State &state)
{
    CThreadPool pool;
    Completion pooledDone, threadDone;
    const auto [poolTime, threadTime] = timeInTurns(
        state, [&] { runPooled(pool, pooledDone); },
        [&] {
            std::thread worker(&Completion::job, &threadDone);
            threadDone.wait();
            worker.join();
        },
        20);
    state.counters["thread_per_job_over_pool"] = threadTime / poolTime;
}
BENCHMARK(BM_PoolJobBesideThreadPerJob)->UseRealTime();

// A variadic call that does nothing, reached through a pointer so that it is not inlined: the floor beneath any
// log call.
__attribute__((noinline)) void emptyVariadic(const char *, ...) {}
void (*volatile s_emptyCall)(const char *, ...) = &emptyVariadic;

// A text log switched off (one integer read and back, arguments unformatted) beside a call that does nothing.
void BM_TlogSwitchedOff(benchmark::State &state)
{
    g_use_text_log = 0;
    constexpr int kReps = 1000;
    int i = 0;
    void (*const empty)(const char *, ...) = s_emptyCall;
    const auto [tlogTime, emptyTime] = timeInTurns(
        state, [&] { Tlog("frame %d of %s\n", i++, "stream"); }, [&] { empty("frame %d of %s\n", i++, "stream"); },
        kReps);
    const double calls = static_cast<double>(state.iterations()) * kReps;
    state.counters["tlog_ns"] = tlogTime / calls * 1e9;
    state.counters["empty_call_ns"] = emptyTime / calls * 1e9;
}
BENCHMARK(BM_TlogSwitchedOff)->UseRealTime();

} // namespace
