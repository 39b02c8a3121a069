#include "core/FileLook.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <utility>

#include "core/ExclusiveRead.h"

namespace scb {

struct BackgroundLook::Shared
{
    enum class Phase { Idle, Requested, Running, Done };

    std::mutex mutex;
    std::condition_variable changed;
    Phase phase = Phase::Idle;
    bool quit = false;

    LookFunction look;
    std::string path;
    std::int32_t lastAge = 0;
    FileFingerprint lastPrint;

    FileSnapshot result;
    std::exception_ptr error;
    std::optional<std::int64_t> answeredSize; // set once the stat answered

    void statAnswered(std::int64_t size)
    {
        const std::lock_guard lock(mutex);
        answeredSize = std::max<std::int64_t>(size, 0);
    }
};

namespace {

// The state of the look this worker thread runs; null on other threads.
thread_local BackgroundLook::Shared *t_runningLook = nullptr;

} // namespace

FileSnapshot lookAtFile(const std::string &path, std::int32_t lastAge, const FileFingerprint &lastPrint)
{
    FileSnapshot snapshot;
    // The two-second stamp alone misses a second rewrite inside the same step
    // (the competition program can rewrite the file several times a second),
    // and the scoreboard would then show stale results until the next change.
    // The fingerprint - identity, size and nanosecond times - sees it. Both are
    // taken before the read: a change during the read leaves them stale, which
    // only costs one extra reload at the next tick.
    snapshot.stamp = stampAndFingerprint(path);
    if (t_runningLook)
        t_runningLook->statAnswered(snapshot.stamp.print.size);
    // Every tick, so that the write a writer starts between two loads is
    // known when the second one reads.
    followWriters(path);
    if (snapshot.stamp.age == -1 || (snapshot.stamp.age == lastAge && snapshot.stamp.print == lastPrint))
        return snapshot;
    snapshot.loadAttempted = true;
    try {
        snapshot.bytes = readFileExclusive(path);
    } catch (const ReadError &e) {
        snapshot.loadFailed = true;
        snapshot.failure = e.reason();
        snapshot.bytes.clear();
    } catch (const std::exception &) {
        snapshot.loadFailed = true;
        snapshot.failure = ReadFailure::Unreadable;
        snapshot.bytes.clear();
    }
    return snapshot;
}

BackgroundLook::BackgroundLook(LookFunction look)
    : m_look(std::move(look)), m_shared(std::make_shared<Shared>())
{
}

BackgroundLook::~BackgroundLook()
{
    bool stuck = false;
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->quit = true;
        stuck = m_shared->phase == Shared::Phase::Running;
    }
    m_shared->changed.notify_all();
    if (!m_worker.joinable())
        return;
    // A worker inside a stat on a dead share may never come back; joining it
    // would hang the program's exit. It owns its share of the state.
    if (stuck)
        m_worker.detach();
    else
        m_worker.join();
}

void BackgroundLook::setLookFunction(LookFunction look)
{
    m_look = std::move(look);
}

bool BackgroundLook::start(std::string path, std::int32_t lastAge, FileFingerprint lastPrint)
{
    {
        const std::lock_guard lock(m_shared->mutex);
        if (m_shared->phase != Shared::Phase::Idle)
            return false;
        m_shared->look = m_look ? m_look : LookFunction([](const std::string &p, std::int32_t a, const FileFingerprint &f) {
            return lookAtFile(p, a, f);
        });
        m_shared->path = std::move(path);
        m_shared->lastAge = lastAge;
        m_shared->lastPrint = lastPrint;
        m_shared->result = {};
        m_shared->error = nullptr;
        m_shared->answeredSize.reset();
        m_shared->phase = Shared::Phase::Requested;
    }
    if (!m_worker.joinable())
        m_worker = std::thread(run, m_shared);
    m_shared->changed.notify_all();
    return true;
}

std::optional<FileSnapshot> BackgroundLook::waitFor(std::chrono::milliseconds timeout)
{
    {
        std::unique_lock lock(m_shared->mutex);
        if (m_shared->phase == Shared::Phase::Idle)
            return std::nullopt;
        if (!m_shared->changed.wait_for(lock, timeout, [this] { return m_shared->phase == Shared::Phase::Done; }))
            return std::nullopt;
    }
    return take();
}

std::optional<FileSnapshot> BackgroundLook::waitWhileAnswering(std::chrono::milliseconds wait,
                                                               std::chrono::milliseconds readPerMiB)
{
    const auto begin = std::chrono::steady_clock::now();
    {
        std::unique_lock lock(m_shared->mutex);
        if (m_shared->phase == Shared::Phase::Idle)
            return std::nullopt;
        const auto done = [this] { return m_shared->phase == Shared::Phase::Done; };
        if (!m_shared->changed.wait_until(lock, begin + wait, done)) {
            if (!m_shared->answeredSize)
                return std::nullopt;
            constexpr std::int64_t MiB = 1 << 20;
            const std::int64_t started = (*m_shared->answeredSize + MiB - 1) / MiB;
            if (!m_shared->changed.wait_until(lock, begin + wait + readPerMiB * started, done))
                return std::nullopt;
        }
    }
    return take();
}

std::optional<FileSnapshot> BackgroundLook::take()
{
    const std::lock_guard lock(m_shared->mutex);
    m_shared->phase = Shared::Phase::Idle;
    if (m_shared->error)
        std::rethrow_exception(std::exchange(m_shared->error, nullptr));
    return std::move(m_shared->result);
}

bool BackgroundLook::busy() const
{
    const std::lock_guard lock(m_shared->mutex);
    return m_shared->phase != Shared::Phase::Idle;
}

void BackgroundLook::run(std::shared_ptr<Shared> shared)
{
    t_runningLook = shared.get();
    std::unique_lock lock(shared->mutex);
    for (;;) {
        shared->changed.wait(lock, [&] { return shared->quit || shared->phase == Shared::Phase::Requested; });
        if (shared->quit)
            return;
        shared->phase = Shared::Phase::Running;
        const LookFunction look = shared->look;
        const std::string path = shared->path;
        const std::int32_t lastAge = shared->lastAge;
        const FileFingerprint lastPrint = shared->lastPrint;
        lock.unlock();

        FileSnapshot result;
        std::exception_ptr error;
        try {
            result = look(path, lastAge, lastPrint);
        } catch (...) {
            error = std::current_exception();
        }

        lock.lock();
        shared->result = std::move(result);
        shared->error = error;
        shared->phase = Shared::Phase::Done;
        shared->changed.notify_all();
    }
}

} // namespace scb
