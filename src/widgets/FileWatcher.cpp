#include "widgets/FileWatcher.h"

#include <QSocketNotifier>
#include <QTimer>

namespace {

// Long enough to fold a writer's quick succession of saves into one look,
// short enough to stay well inside a frame.
constexpr int SettleMs = 2;

} // namespace

FileWatcher::FileWatcher(QObject *parent) : QObject(parent), m_settle(new QTimer(this))
{
    m_settle->setSingleShot(true);
    m_settle->setInterval(SettleMs);
    m_settle->setTimerType(Qt::PreciseTimer);
    connect(m_settle, &QTimer::timeout, this, &FileWatcher::fileFinished);
    if (m_watch.fd() >= 0) {
        m_notifier = new QSocketNotifier(m_watch.fd(), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &FileWatcher::eventsPending);
    }
}

FileWatcher::~FileWatcher() = default;

void FileWatcher::setPath(const std::string &path)
{
    m_path = path;
    // FileWatch::arm is free for the path it already watches, and retries a
    // folder that was missing.
    if (m_enabled)
        m_watch.arm(m_path);
}

void FileWatcher::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (m_enabled) {
        m_watch.arm(m_path);
    } else {
        m_watch.disarm();
        m_settle->stop();
    }
}

void FileWatcher::eventsPending()
{
    // Always drain, also while disabled, or the notifier fires forever.
    const bool finished = m_watch.readEvents();
    if (finished && m_enabled && !m_settle->isActive())
        m_settle->start();
}
