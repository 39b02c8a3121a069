#pragma once
// Calls that may touch a file system, kept off the caller's thread.
//
// A stat or a read on a share that stopped answering can block for as long as
// the share is gone, so the interface thread never makes one itself. A
// BoundedCall runs one call at a time on a worker thread of its own, and the
// caller waits for it only within a CallBound:
//   - a call that finishes in time is handed back by run(), so the caller
//     applies its result in the same order of effects as a plain call;
//   - one that does not, or that has a large read ahead of it, is left
//     pending; once it finishes, its landing function gets the result on
//     the caller's thread, through the post function given at construction.
// While a call is pending run() starts nothing, unless the caller gives the
// pending call up with supersede(). A worker stuck in a call is left behind at
// destruction or supersession, never waited for, and its result is dropped;
// so is a landing still on its way when the BoundedCall goes. Everything but
// the call itself runs on the caller's thread.

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>

namespace scb {

// Every call the windows make to the file system passes through the gate
// first, on the thread that makes it, with the path about to be touched.
// Empty in the program; tests shut it to stand in a share that stops
// answering.
using FileSystemGate = std::function<void(const std::string &path)>;

inline void passGate(const FileSystemGate &gate, const std::string &path)
{
    if (gate)
        gate(path);
}

struct CallBound
{
    // The longest the caller waits, whatever the call does: a local file
    // system answers in microseconds, a dead share never.
    std::chrono::milliseconds wait{150};
    // A call that, through workAhead(), says it
    // still has more bytes than this to read or make is not waited for any
    // longer: a large read on a live file system takes its time, and holding
    // the caller for it would only freeze the interface. It lands when done.
    std::int64_t waitedReadBytes = std::int64_t{1} << 20;
};

// Called by a call running on a BoundedCall's worker before work that grows
// with a size: once its file system has answered, with the bytes it will read
// next, or before decoding a picture into that many bytes. Does nothing
// elsewhere.
void workAhead(std::int64_t bytes);

// The untyped half: the worker thread and the waiting.
class BoundedWorker
{
public:
    // Hands a function to the caller's thread (a queued event, say); called
    // on the worker thread.
    using Post = std::function<void(std::function<void()>)>;

    explicit BoundedWorker(Post post);
    // Joins an idle worker; leaves one stuck in a call behind.
    ~BoundedWorker();
    BoundedWorker(const BoundedWorker &) = delete;
    BoundedWorker &operator=(const BoundedWorker &) = delete;

    // Runs job on the worker, waiting within bound. True: the job is done,
    // and the caller calls finish() once it has taken its result. False: the
    // job is left pending (or, while one is, nothing was started); once it is
    // done, late is posted, and the caller calls finish() from there.
    bool run(std::function<void()> job, std::function<void()> late, CallBound bound);
    // From run() until finish().
    bool busy() const;
    void finish();
    // Gives up the pending job: its late function is never posted, and its
    // worker is left behind if it is still inside the job.
    void abandon();

    // What the caller and the worker share; opaque outside BoundedCall.cpp.
    struct Shared;

private:
    static void work(std::shared_ptr<Shared> shared);
    void leave();

    Post m_post;
    std::shared_ptr<Shared> m_shared;
    std::thread m_thread; // started by the first job
};

template <typename T>
class BoundedCall
{
public:
    using Post = BoundedWorker::Post;
    using Land = std::function<void(T)>;

    explicit BoundedCall(Post post) : m_worker(std::move(post)) {}
    ~BoundedCall() { *m_alive = false; }
    BoundedCall(const BoundedCall &) = delete;
    BoundedCall &operator=(const BoundedCall &) = delete;

    // The call's result when it finished within bound. Otherwise nullopt: the
    // call is left pending and land (when given) gets the result later, or
    // nothing was started because a call is still pending. An exception
    // thrown by the call is rethrown here, or out of the landing.
    std::optional<T> run(std::function<T()> call, CallBound bound, Land land = {})
    {
        if (m_worker.busy())
            return std::nullopt;
        auto slot = std::make_shared<Slot>();
        auto job = [slot, call = std::move(call)] {
            try {
                slot->value.emplace(call());
            } catch (...) {
                slot->error = std::current_exception();
            }
        };
        const std::uint64_t generation = ++m_generation;
        auto late = [this, alive = m_alive, generation, slot, land = std::move(land)] {
            if (!*alive || generation != m_generation)
                return;
            m_worker.finish();
            if (land)
                land(take(*slot));
        };
        if (!m_worker.run(std::move(job), std::move(late), bound))
            return std::nullopt;
        m_worker.finish();
        return take(*slot);
    }

    bool pending() const { return m_worker.busy(); }

    // Drops the pending call's result; the next run() starts at once.
    void supersede()
    {
        ++m_generation;
        m_worker.abandon();
    }

private:
    struct Slot
    {
        std::optional<T> value;
        std::exception_ptr error;
    };

    static T take(Slot &slot)
    {
        if (slot.error)
            std::rethrow_exception(slot.error);
        return std::move(*slot.value);
    }

    BoundedWorker m_worker;
    std::uint64_t m_generation = 0;
    // Landings on their way check it: they may arrive after this is gone.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace scb
