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

#include <QObject>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/BoundedCall.h"
#include "core/FileLook.h"

class FileWatcher;
class QTimer;

class DisplayFileFeed : public QObject
{
    Q_OBJECT
public:
    // Each snapshot goes to land, from within look() when it answers in
    // time, otherwise through post.
    using Landing = std::function<void(scb::FileSnapshot &&)>;
    DisplayFileFeed(QTimer *timer, const scb::BoundedWorker::Post &post, Landing land, QObject *parent);

    // One tick: the watch follows path, and its snapshot is taken against the
    // last stamp and fingerprint loaded.
    void look(const std::string &path, std::int32_t lastAge, const scb::FileFingerprint &lastPrint);
    // Watches path's folder (empty: nothing) without a look.
    void watch(const std::string &path);
    // No more ticks and no watch, as the program closes.
    void stop();
    // The close did not go through: ticks and the watch, on path, as they
    // were before stop().
    void resume(const std::string &path);

    // Tests stand their own look in (empty restores the real one), a share
    // that stops answering, or turn the watch off.
    void setLook(scb::LookFunction look) { m_lookFunction = std::move(look); }
    void setGate(scb::FileSystemGate gate);
    void setWatchEnabled(bool enabled);
    bool watchEnabled() const;
    // A look has not landed yet.
    bool lookPending() const { return m_look.pending(); }

signals:
    // The watched file was finished by its writer: time for a tick.
    void fileFinished();

private:
    struct Running
    {
        bool ticks;
        bool watch;
    };

    QTimer *m_timer;
    Landing m_land;
    FileWatcher *m_watcher;
    scb::FileSystemGate m_gate;
    scb::LookFunction m_lookFunction;
    scb::BoundedCall<scb::FileSnapshot> m_look;
    std::optional<Running> m_beforeStop; // set while stopped
};
