// A pool of worker threads for the host: a job (a function and one pointer argument) goes to an idle worker if there
// is one, else to a newly started worker that then stays, so the pool grows to the largest number of jobs that ran
// at once. New workers ask for real-time FIFO scheduling at the priority given with the job that starts them.
#pragma once

#include <pthread.h>

#include <cstdint>
#include <map>

#include "kve/kve_sync.h"

// One worker. Its lock guards state, argument and job, and is the lock its condition waits on, so a hand-over is
// never missed or seen half-written.
struct SThreadObject {
    enum : int32_t { kIdle = 0, kAssigned = 1, kRunning = 2, kShutdownRequested = 3, kEnded = 4 };

    SThreadObject(void *argument, void (*job)(void *));
    ~SThreadObject();
    SThreadObject(const SThreadObject &) = delete;
    SThreadObject &operator=(const SThreadObject &) = delete;

    // Starts the thread (0 stays in `thread` when it cannot be started, with the failure's code returned), then
    // asks for SCHED_FIFO at the priority and returns that request's code; a refused request leaves the worker
    // under the default policy.
    int StartThread(int priority);
    // Asks the worker to end, wakes it and joins its thread: a job it holds runs to its end first.
    void Shutdown();
    // The worker's loop; the argument is the record.
    static void *RunThread(void *record);

    pthread_t thread = 0;
    pthread_cond_t condition;
    int32_t state = kAssigned;
    void *argument;
    void (*job)(void *);
    int32_t priority = 0;
    CRITICAL_SECTION lock;
};

class IThreadPool {
public:
    // Runs job(argument) once on a pooled thread and returns that thread's ID at once, without waiting for the job;
    // 0 when there is no job, or no thread could be started for it. The priority counts only when a new worker is
    // started.
    virtual pthread_t NewThread(void *argument, void (*job)(void *), int priority) = 0;
    // Ends and joins every worker; jobs already handed over run to their end first.
    virtual ~IThreadPool() = default;
};

// Any thread may hand over jobs; destroying the pool while another thread hands one over is not supported.
class CThreadPool : public IThreadPool {
public:
    CThreadPool();
    ~CThreadPool() override;
    CThreadPool(const CThreadPool &) = delete;
    CThreadPool &operator=(const CThreadPool &) = delete;

    pthread_t NewThread(void *argument, void (*job)(void *), int priority) override;

private:
    // Guards the map and the choice of an idle worker, so two callers never get the same one.
    CRITICAL_SECTION section_;
    // Workers by thread ID, visited in ascending order; the pool owns them.
    std::map<pthread_t, SThreadObject *> threads_;
};
