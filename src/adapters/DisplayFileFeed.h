#pragma once
// The poll tick's look at the display file, and the folder watch that runs
// the tick as soon as the file is finished; the timer remains for what no
// watch sees (network shares, edits of the preview).
//
// The look reads the file and splits its text on a worker. One that outlasts
// its bound, or has a large read ahead of it, lands later, on the interface
// thread; ticks meanwhile are dropped rather than queued behind it. The timer counts from
// the end of each look, however it ends, so a slow file system never stacks
// ticks up.
//
// The folder watch is the worker's: every use of it (arming it, which makes
// the kernel look the folder up and so blocks on a share that stopped
// answering, and taking in its events) runs there, one use or look at a time.
// It tells two things: that a writer finished the file (closed it after
// writing, or renamed it into place), announced as fileFinished a couple of
// milliseconds after the first of a burst; and that a writer is still at it,
// which the look's exclusive read asks before it trusts a file it cannot
// lease. Where the system offers no watch the feed announces nothing and the
// one-second poll carries on alone.

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/BoundedCall.h"
#include "core/FileLook.h"

namespace scb {
class FileWatch;
}
class QSocketNotifier;
class QTimer;

class DisplayFileFeed : public QObject
{
    Q_OBJECT
public:
    // Each snapshot goes to land, from within look() when it answers in
    // time, otherwise through post.
    using Landing = std::function<void(scb::FileSnapshot &&)>;
    DisplayFileFeed(QTimer *timer, const scb::BoundedWorker::Post &post, Landing land, QObject *parent);
    ~DisplayFileFeed() override;

    // One tick: the watch follows path, and its snapshot is taken against the
    // last stamp and fingerprint loaded.
    void look(const std::string &path, std::int32_t lastAge, const scb::FileFingerprint &lastPrint);
    // Watches path's folder (empty: nothing) without a look.
    void watch(const std::string &path);
    // No more ticks and no announcements, as the program closes.
    void stop();
    // The close did not go through: ticks and the watch, on path, as they
    // were before stop().
    void resume(const std::string &path);

    // Tests stand their own look in (empty restores the real one), a share
    // that stops answering; the benchmark turns the announcements off.
    void setLook(scb::LookFunction look) { m_lookFunction = std::move(look); }
    void setGate(scb::FileSystemGate gate) { m_gate = std::move(gate); }
    void setWatchEnabled(bool enabled);
    // A look has not landed yet.
    bool lookPending() const { return m_worker.pending(); }

signals:
    // The watched file was finished by its writer: time for a tick.
    void fileFinished();

private:
    // What one use of the worker gives back: a look's snapshot, and where
    // the watch stands.
    struct Outcome
    {
        std::optional<scb::FileSnapshot> snapshot;
        std::string armedPath;
        bool finished = false;
    };
    struct Running
    {
        bool ticks;
        bool watch;
    };

    void arm();
    void eventsPending();
    // Runs job on the worker, unless another use is still pending.
    void use(std::function<Outcome(scb::FileWatch &)> job);
    void land(Outcome &&outcome);
    void listen();

    QTimer *m_timer;
    Landing m_land;
    // Shared with the worker, which may be left behind inside a use.
    std::shared_ptr<scb::FileWatch> m_watch;
    scb::BoundedCall<Outcome> m_worker;
    QSocketNotifier *m_notifier = nullptr;
    QTimer *m_settle = nullptr;
    std::string m_path;
    bool m_announce = true;
    std::string m_armedPath; // as the last use that landed left the watch
    scb::FileSystemGate m_gate;
    scb::LookFunction m_lookFunction;
    std::optional<Running> m_beforeStop; // set while stopped
};
