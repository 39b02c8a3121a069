#include "core/BoundedCall.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace scb {

struct BoundedWorker::Shared
{
    enum class Phase { Idle, Requested, Running, Done };

    std::mutex mutex;
    std::condition_variable changed;
    Phase phase = Phase::Idle;
    bool quit = false; // the owner is gone, or gave this worker up
    bool late = false; // the caller stopped waiting: post when done

    std::function<void()> job;
    std::function<void()> lateLanding;
    Post post;
    std::optional<std::int64_t> answeredBytes;
};

namespace {

// The worker state of the call this thread runs; null on other threads.
thread_local BoundedWorker::Shared *t_running = nullptr;

} // namespace

void workAhead(std::int64_t bytes)
{
    if (!t_running)
        return;
    {
        const std::lock_guard lock(t_running->mutex);
        t_running->answeredBytes = std::max<std::int64_t>(bytes, 0);
    }
    // The caller may stop waiting now, when the read ahead is large.
    t_running->changed.notify_all();
}

BoundedWorker::BoundedWorker(Post post) : m_post(std::move(post)), m_shared(std::make_shared<Shared>())
{
    m_shared->post = m_post;
}

BoundedWorker::~BoundedWorker()
{
    leave();
}

void BoundedWorker::leave()
{
    bool stuck = false;
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->quit = true;
        m_shared->post = nullptr;
        m_shared->lateLanding = nullptr;
        stuck = m_shared->phase == Shared::Phase::Running;
    }
    m_shared->changed.notify_all();
    if (!m_thread.joinable())
        return;
    // A worker inside a stat on a dead share may never come back; joining it
    // would hang whoever gave it up. It owns its share of the state.
    if (stuck)
        m_thread.detach();
    else
        m_thread.join();
}

bool BoundedWorker::run(std::function<void()> job, std::function<void()> late, CallBound bound)
{
    {
        const std::lock_guard lock(m_shared->mutex);
        if (m_shared->phase != Shared::Phase::Idle)
            return false;
        m_shared->job = std::move(job);
        m_shared->lateLanding = std::move(late);
        m_shared->late = false;
        m_shared->answeredBytes.reset();
        m_shared->phase = Shared::Phase::Requested;
    }
    if (!m_thread.joinable())
        m_thread = std::thread(work, m_shared);
    m_shared->changed.notify_all();

    std::unique_lock lock(m_shared->mutex);
    const auto stopWaiting = [this, &bound] {
        return m_shared->phase == Shared::Phase::Done
            || (m_shared->answeredBytes && *m_shared->answeredBytes > bound.waitedReadBytes);
    };
    m_shared->changed.wait_for(lock, bound.wait, stopWaiting);
    if (m_shared->phase == Shared::Phase::Done)
        return true;
    m_shared->late = true;
    return false;
}

bool BoundedWorker::busy() const
{
    const std::lock_guard lock(m_shared->mutex);
    return m_shared->phase != Shared::Phase::Idle;
}

void BoundedWorker::finish()
{
    // The landing goes here, on the caller's thread, whatever it holds.
    std::function<void()> landing;
    const std::lock_guard lock(m_shared->mutex);
    m_shared->phase = Shared::Phase::Idle;
    landing.swap(m_shared->lateLanding);
}

void BoundedWorker::abandon()
{
    {
        std::unique_lock lock(m_shared->mutex);
        if (m_shared->phase == Shared::Phase::Idle)
            return;
        if (m_shared->phase == Shared::Phase::Done) {
            // Done but not landed: the worker is free, only the landing goes.
            m_shared->phase = Shared::Phase::Idle;
            std::function<void()> landing;
            landing.swap(m_shared->lateLanding);
            lock.unlock();
            return;
        }
    }
    leave();
    m_shared = std::make_shared<Shared>();
    m_shared->post = m_post;
    m_thread = std::thread();
}

void BoundedWorker::work(std::shared_ptr<Shared> shared)
{
    t_running = shared.get();
    std::unique_lock lock(shared->mutex);
    for (;;) {
        shared->changed.wait(lock, [&] { return shared->quit || shared->phase == Shared::Phase::Requested; });
        if (shared->quit)
            return;
        shared->phase = Shared::Phase::Running;
        std::function<void()> job = std::move(shared->job);
        lock.unlock();
        job(); // catches whatever the call throws
        job = nullptr;
        lock.lock();
        shared->phase = Shared::Phase::Done;
        if (shared->late && shared->post && shared->lateLanding)
            shared->post(std::move(shared->lateLanding));
        shared->changed.notify_all();
    }
}

} // namespace scb
