// The thread pool: workers reused once idle, a new worker for each job that overlaps the running ones, workers
// named after their kernel thread, jobs from several threads, and a pool destroyed while jobs run or wait.
#include <gtest/gtest.h>

#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "kve/kve_log.h"
#include "kve/kve_thread_pool.h"

namespace {

using namespace std::chrono_literals;

// A flag one side waits for and the other raises.
class Signal {
public:
    void raise()
    {
        std::lock_guard<std::mutex> hold(mutex_);
        raised_ = true;
        changed_.notify_all();
    }
    bool waitFor(std::chrono::milliseconds limit)
    {
        std::unique_lock<std::mutex> hold(mutex_);
        return changed_.wait_for(hold, limit, [&] { return raised_; });
    }
    bool raised()
    {
        std::lock_guard<std::mutex> hold(mutex_);
        return raised_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool raised_ = false;
};

// What a job saw of the thread it ran on; it holds until `release` is raised when `hold` is set.
struct Probe {
    bool hold = false;
    Signal release, started, done;
    pid_t tid = 0;
    std::string name;
    int policy = -1;

    static void run(void *argument)
    {
        auto *self = static_cast<Probe *>(argument);
        self->tid = gettid();
        char name[17] = {};
        prctl(PR_GET_NAME, name, 0, 0, 0);
        self->name = name;
        sched_param param{};
        pthread_getschedparam(pthread_self(), &self->policy, &param);
        self->started.raise();
        if (self->hold)
            self->release.waitFor(10s);
        self->done.raise();
    }
};

void count(void *argument)
{
    static_cast<std::atomic<int> *>(argument)->fetch_add(1);
}

std::string fileText(const std::string &path)
{
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(PoolThreads, FinishedWorkerTakesTheNextJobWhateverItsPriority)
{
    auto pool = std::make_unique<CThreadPool>();
    Probe first, second;
    const pthread_t id1 = pool->NewThread(&first, &Probe::run, 0);
    ASSERT_NE(id1, pthread_t{0});
    ASSERT_TRUE(first.done.waitFor(10s));
    // The worker goes back to idle just after its job returns.
    std::this_thread::sleep_for(100ms);
    const pthread_t id2 = pool->NewThread(&second, &Probe::run, 5);
    ASSERT_TRUE(second.done.waitFor(10s));
    EXPECT_EQ(id2, id1);
    EXPECT_EQ(second.tid, first.tid);
    EXPECT_EQ(first.name, "Pool" + std::to_string(first.tid));
    // The priority of a job for a reused worker changes nothing; priority 0 is no real-time priority at all.
    EXPECT_EQ(first.policy, SCHED_OTHER);
    EXPECT_EQ(second.policy, SCHED_OTHER);
}

TEST(PoolThreads, OverlappingJobsRunOnNewWorkersAndAreLogged)
{
    const std::string logPath = ::testing::TempDir() + "kve_pool_" + std::to_string(getpid()) + ".log";
    std::remove(logPath.c_str());
    g_use_text_log = 1;
    DumpLog("/dev/null");
    Probe first, second;
    first.hold = second.hold = true;
    pthread_t id1 = 0, id2 = 0;
    {
        CThreadPool pool;
        id1 = pool.NewThread(&first, &Probe::run, 0);
        ASSERT_TRUE(first.started.waitFor(10s));
        id2 = pool.NewThread(&second, &Probe::run, 0);
        ASSERT_TRUE(second.started.waitFor(10s));
        EXPECT_NE(id1, id2);
        EXPECT_NE(first.tid, second.tid);
        first.release.raise();
        second.release.raise();
    }
    DumpLog(logPath.c_str());
    g_use_text_log = 0;
    const std::string log = fileText(logPath);
    std::remove(logPath.c_str());

    const std::regex created("CThreadPool::NewThread: create object (0x[0-9a-f]+), #threads=(\\d)\n");
    const std::regex destroyed("CThreadPool::~CThreadPool: destroying object (0x[0-9a-f]+)\n");
    std::vector<std::string> createdObjects, destroyedObjects;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), created); it != std::sregex_iterator(); ++it) {
        EXPECT_EQ((*it)[2].str(), std::to_string(createdObjects.size() + 1));
        createdObjects.push_back((*it)[1].str());
    }
    for (auto it = std::sregex_iterator(log.begin(), log.end(), destroyed); it != std::sregex_iterator(); ++it)
        destroyedObjects.push_back((*it)[1].str());
    ASSERT_EQ(createdObjects.size(), 2u) << log;
    // Workers end in ascending order of their thread IDs.
    if (id2 < id1)
        std::swap(createdObjects[0], createdObjects[1]);
    EXPECT_EQ(destroyedObjects, createdObjects) << log;
}

TEST(PoolThreads, DestructionWaitsForTheRunningJob)
{
    auto pool = std::make_unique<CThreadPool>();
    Probe job;
    job.hold = true;
    pool->NewThread(&job, &Probe::run, 0);
    ASSERT_TRUE(job.started.waitFor(10s));
    Signal poolGone;
    std::thread destroyer([&] {
        pool.reset();
        poolGone.raise();
    });
    EXPECT_FALSE(poolGone.waitFor(100ms));
    job.release.raise();
    EXPECT_TRUE(poolGone.waitFor(10s));
    destroyer.join();
    EXPECT_TRUE(job.done.raised());
}

TEST(PoolThreads, JobsHandedOverJustBeforeDestructionStillRun)
{
    std::atomic<int> ran{0};
    for (int round = 1; round <= 20; ++round) {
        {
            CThreadPool pool;
            pool.NewThread(&ran, &count, 0);
            pool.NewThread(&ran, &count, 0);
        }
        ASSERT_EQ(ran.load(), 2 * round);
    }
}

TEST(PoolThreads, JobsFromFourThreadsEachRunOnce)
{
    constexpr int kThreads = 4, kJobs = 200;
    std::atomic<int> ran{0};
    std::atomic<int> refused{0};
    {
        std::unique_ptr<IThreadPool> pool = std::make_unique<CThreadPool>();
        std::vector<std::thread> callers;
        for (int t = 0; t < kThreads; ++t)
            callers.emplace_back([&] {
                for (int j = 0; j < kJobs; ++j)
                    if (pool->NewThread(&ran, &count, 0) == 0)
                        refused.fetch_add(1);
            });
        for (auto &caller : callers)
            caller.join();
    }
    EXPECT_EQ(refused.load(), 0);
    EXPECT_EQ(ran.load(), kThreads * kJobs);
}

// Not under ThreadSanitizer: the test makes thread creation fail for the whole process for a moment.
TEST(ThreadPool, NoJobOrNoThreadToRunItGivesZero)
{
    CThreadPool pool;
    std::atomic<int> ran{0};
    EXPECT_EQ(pool.NewThread(&ran, nullptr, 0), pthread_t{0});

    pthread_attr_t saved, huge;
    ASSERT_EQ(pthread_getattr_default_np(&saved), 0);
    ASSERT_EQ(pthread_getattr_default_np(&huge), 0);
    // No stack of this size can be mapped, so every thread start fails.
    ASSERT_EQ(pthread_attr_setstacksize(&huge, size_t{1} << 62), 0);
    ASSERT_EQ(pthread_setattr_default_np(&huge), 0);
    const pthread_t refused = pool.NewThread(&ran, &count, 0);
    ASSERT_EQ(pthread_setattr_default_np(&saved), 0);
    pthread_attr_destroy(&huge);
    pthread_attr_destroy(&saved);
    EXPECT_EQ(refused, pthread_t{0});

    // The failed worker was not kept: the next job starts a worker of its own and runs.
    Probe job;
    EXPECT_NE(pool.NewThread(&job, &Probe::run, 0), pthread_t{0});
    EXPECT_TRUE(job.done.waitFor(10s));
    EXPECT_EQ(ran.load(), 0);
}

} // namespace
