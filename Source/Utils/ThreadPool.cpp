// Pooled worker threads for the host.
#include "kve/kve_thread_pool.h"

#include <sched.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <ctime>
#include <new>
#include <string>

#include "Utils/SectionLock.h"
#include "kve/kve_log.h"
#include "kve/kve_string.h"

namespace {

// How long an idle worker sleeps before it looks at its state again, should a wake-up ever go astray.
constexpr long kIdleRecheckNs = 500L * 1000 * 1000;

timespec deadlineFromNow(long nanoseconds)
{
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    t.tv_nsec += nanoseconds;
    t.tv_sec += t.tv_nsec / 1000000000L;
    t.tv_nsec %= 1000000000L;
    return t;
}

// Names the calling thread "Pool<kernel thread id>", as a system monitor lists it.
void nameThisWorker()
{
    try {
        const std::string name = String::Format("Pool%d", static_cast<int>(gettid()));
        prctl(PR_SET_NAME, name.c_str(), 0, 0, 0);
    } catch (...) {
        // Out of memory: the worker keeps the name it inherited.
    }
}

} // namespace

SThreadObject::SThreadObject(void *argument, void (*job)(void *)) : argument(argument), job(job)
{
    pthread_cond_init(&condition, nullptr);
    InitializeCriticalSection(&lock);
}

SThreadObject::~SThreadObject()
{
    pthread_cond_destroy(&condition);
    DeleteCriticalSection(&lock);
}

int SThreadObject::StartThread(int priority)
{
    this->priority = priority;
    pthread_t started;
    const int created = pthread_create(&started, nullptr, &SThreadObject::RunThread, this);
    if (created != 0)
        return created;
    thread = started;
    sched_param param{};
    param.sched_priority = priority;
    return pthread_setschedparam(thread, SCHED_FIFO, &param);
}

void SThreadObject::Shutdown()
{
    {
        kve::SectionLock workerLock(lock);
        state = kShutdownRequested;
        pthread_cond_signal(&condition);
    }
    if (thread != 0) {
        pthread_join(thread, nullptr);
        thread = 0;
    }
}

void *SThreadObject::RunThread(void *record)
{
    auto *self = static_cast<SThreadObject *>(record);
    nameThisWorker();
    EnterCriticalSection(&self->lock);
    for (;;) {
        // A job handed over runs even when the end was asked for before the worker woke: its caller was told it
        // would run.
        if (self->job != nullptr) {
            if (self->state != kShutdownRequested)
                self->state = kRunning;
            void (*const job)(void *) = self->job;
            void *const argument = self->argument;
            LeaveCriticalSection(&self->lock);
            job(argument);
            EnterCriticalSection(&self->lock);
            self->job = nullptr;
            self->argument = nullptr;
            if (self->state != kShutdownRequested)
                self->state = kIdle;
            continue;
        }
        if (self->state == kShutdownRequested)
            break;
        const timespec deadline = deadlineFromNow(kIdleRecheckNs);
        pthread_cond_timedwait(&self->condition, &self->lock.mutex, &deadline);
    }
    self->state = kEnded;
    LeaveCriticalSection(&self->lock);
    return nullptr;
}

CThreadPool::CThreadPool()
{
    InitializeCriticalSection(&section_);
}

CThreadPool::~CThreadPool()
{
    for (auto &entry : threads_) {
        SThreadObject *worker = entry.second;
        Tlog("CThreadPool::~CThreadPool: destroying object %p\n", static_cast<void *>(worker));
        if (worker != nullptr) {
            worker->Shutdown();
            delete worker;
        }
    }
    DeleteCriticalSection(&section_);
    threads_.clear();
}

pthread_t CThreadPool::NewThread(void *argument, void (*job)(void *), int priority)
{
    // A worker given no job would stay reserved for ever.
    if (job == nullptr)
        return 0;
    {
        kve::SectionLock poolLock(section_);
        for (auto &entry : threads_) {
            SThreadObject *worker = entry.second;
            kve::SectionLock workerLock(worker->lock);
            if (worker->state == SThreadObject::kIdle) {
                worker->state = SThreadObject::kAssigned;
                worker->argument = argument;
                worker->job = job;
                pthread_cond_signal(&worker->condition);
                return entry.first;
            }
        }
    }
    auto *worker = new (std::nothrow) SThreadObject(argument, job);
    if (worker == nullptr)
        return 0;
    worker->StartThread(priority);
    // A worker without a thread is not kept: nothing would ever run or join it.
    if (worker->thread == 0) {
        delete worker;
        return 0;
    }
    const pthread_t id = worker->thread;
    size_t count = 0;
    try {
        kve::SectionLock poolLock(section_);
        threads_.emplace(id, worker);
        count = threads_.size();
    } catch (...) {
        // Out of memory for the map entry: the job runs to its end and the worker goes with it.
        worker->Shutdown();
        delete worker;
        return 0;
    }
    Tlog("CThreadPool::NewThread: create object %p, #threads=%d\n", static_cast<void *>(worker),
         static_cast<int>(count));
    return id;
}
