#include "adapters/DisplayFileFeed.h"

#include "adapters/FileWatcher.h"
#include "core/PollTick.h"

#include <QScopeGuard>
#include <QTimer>

#include <utility>

DisplayFileFeed::DisplayFileFeed(QTimer *timer, const scb::BoundedWorker::Post &post, Landing land,
                                 QObject *parent)
    : QObject(parent), m_timer(timer), m_land(std::move(land)), m_watcher(new FileWatcher(this)), m_look(post)
{
    setObjectName(QStringLiteral("DisplayFileFeed"));
    m_watcher->setObjectName(QStringLiteral("FileWatcher"));
    connect(m_watcher, &FileWatcher::fileFinished, this, &DisplayFileFeed::fileFinished);
}

void DisplayFileFeed::look(const std::string &path, std::int32_t lastAge, const scb::FileFingerprint &lastPrint)
{
    if (m_look.pending())
        return;
    m_watcher->setPath(path);
    const auto restart = qScopeGuard([timer = m_timer, on = m_timer->isActive()] {
        if (on)
            timer->start();
    });
    m_timer->stop();
    auto call = [look = m_lookFunction, gate = m_gate, path, lastAge, lastPrint] {
        scb::passGate(gate, path);
        scb::FileSnapshot snapshot = look ? look(path, lastAge, lastPrint) : scb::lookAtFile(path, lastAge, lastPrint);
        // Split and read here, so that the interface thread only swaps the text in.
        scb::prepareText(snapshot);
        return snapshot;
    };
    // A late snapshot is applied even when the path changed meanwhile: the
    // next tick looks at the new path, and the stamp stored then differs
    // from it anyway.
    auto landLater = [this](scb::FileSnapshot snapshot) {
        m_land(std::move(snapshot));
        if (m_timer->isActive())
            m_timer->start();
    };
    if (auto snapshot = m_look.run(call, scb::CallBound{}, landLater))
        m_land(std::move(*snapshot));
}

void DisplayFileFeed::watch(const std::string &path)
{
    m_watcher->setPath(path);
}

void DisplayFileFeed::stop()
{
    if (!m_beforeStop)
        m_beforeStop = Running{m_timer->isActive(), m_watcher->isEnabled()};
    m_timer->stop();
    // Disabled rather than only emptied: a finish already settling would
    // otherwise run one more tick, and that tick would arm the watch again.
    m_watcher->setEnabled(false);
    m_watcher->setPath({});
}

void DisplayFileFeed::resume(const std::string &path)
{
    if (!m_beforeStop)
        return;
    const Running before = *std::exchange(m_beforeStop, std::nullopt);
    m_watcher->setEnabled(before.watch);
    m_watcher->setPath(path);
    if (before.ticks)
        m_timer->start();
}

void DisplayFileFeed::setGate(scb::FileSystemGate gate)
{
    m_gate = gate;
    m_watcher->setFileSystemGate(std::move(gate));
}

void DisplayFileFeed::setWatchEnabled(bool enabled)
{
    m_watcher->setEnabled(enabled);
}

bool DisplayFileFeed::watchEnabled() const
{
    return m_watcher->isEnabled();
}
