#pragma once
// Announces that the display file has been finished by its writer, so the
// control window can run its poll tick at once instead of at the next second.
// A burst of finishes (a writer saving several times in a row) becomes one
// announcement a couple of milliseconds after the first. Where the system
// offers no watch it stays silent and the one-second poll carries on alone.
//
// Arming the watch makes the kernel look the folder up, which blocks for as
// long as a share that stopped answering is gone, so every use of the watch
// runs on a worker within a bound. One that outlasts it lands later; until
// then the watch is left alone and the poll carries on meanwhile.

#include <QObject>

#include <memory>
#include <string>

#include "core/BoundedCall.h"
#include "core/platform/FileWatch.h"

class QSocketNotifier;
class QTimer;

class FileWatcher : public QObject
{
    Q_OBJECT
public:
    explicit FileWatcher(QObject *parent = nullptr);
    ~FileWatcher() override;

    // The path as the poll tick reads it (8-bit bytes). Cheap when unchanged,
    // so callers may hand it over at every tick; empty watches nothing.
    void setPath(const std::string &path);
    const std::string &path() const { return m_path; }

    // A disabled watcher keeps its path but watches nothing.
    void setEnabled(bool enabled);
    bool isEnabled() const { return m_enabled; }

    // The folder of path() is under watch.
    bool isWatching() const;

    void setFileSystemGate(scb::FileSystemGate gate) { m_gate = std::move(gate); }

signals:
    void fileFinished();

private:
    // Where a use of the watch left it.
    struct Outcome
    {
        std::string path;
        bool enabled = true;
        bool watching = false;
        bool finished = false;
    };

    void update();
    void eventsPending();
    void useWatch(std::function<Outcome()> use);
    void land(const Outcome &outcome);

    // Shared with the worker, which may be left behind inside a use.
    std::shared_ptr<scb::FileWatch> m_watch;
    scb::BoundedCall<Outcome> m_use;
    QSocketNotifier *m_notifier = nullptr;
    QTimer *m_settle = nullptr;
    std::string m_path;
    bool m_enabled = true;
    Outcome m_armed; // as the last use that landed left the watch
    scb::FileSystemGate m_gate;
};
