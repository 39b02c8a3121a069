#include "adapters/FileWatcher.h"

#include <QSocketNotifier>
#include <QTimer>

#include "core/AssignIfChanged.h"

namespace {

// Long enough to fold a writer's quick succession of saves into one look,
// short enough to stay well inside a frame.
constexpr int SettleMs = 2;

} // namespace

FileWatcher::FileWatcher(QObject *parent)
    : QObject(parent),
      m_watch(std::make_shared<scb::FileWatch>()),
      m_use([this](std::function<void()> landing) {
          QMetaObject::invokeMethod(this, std::move(landing), Qt::QueuedConnection);
      }),
      m_settle(new QTimer(this))
{
    m_settle->setSingleShot(true);
    m_settle->setInterval(SettleMs);
    m_settle->setTimerType(Qt::PreciseTimer);
    connect(m_settle, &QTimer::timeout, this, &FileWatcher::fileFinished);
    if (m_watch->fd() >= 0) {
        m_notifier = new QSocketNotifier(m_watch->fd(), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &FileWatcher::eventsPending);
    }
}

FileWatcher::~FileWatcher() = default;

void FileWatcher::setPath(const std::string &path)
{
    m_path = path;
    update();
}

void FileWatcher::setEnabled(bool enabled)
{
    if (!scb::assignIfChanged(m_enabled, enabled))
        return;
    if (!m_enabled)
        m_settle->stop();
    update();
}

bool FileWatcher::isWatching() const
{
    return m_enabled && m_armed.enabled && m_armed.watching && m_armed.path == m_path;
}

void FileWatcher::update()
{
    // Without a watch descriptor there is nothing to arm or disarm.
    if (!m_notifier)
        return;
    // A watched folder is left alone; FileWatch::arm is free for the path it
    // already watches and retries a folder that was missing.
    const bool inPlace = m_armed.enabled == m_enabled
        && (!m_enabled || (m_armed.path == m_path && (m_armed.watching || m_path.empty())));
    if (inPlace)
        return;
    useWatch([watch = m_watch, gate = m_gate, path = m_path, enabled = m_enabled] {
        if (!enabled) {
            watch->disarm();
            return Outcome{path, false, false, false};
        }
        if (!path.empty())
            scb::passGate(gate, path);
        const bool watching = watch->arm(path);
        return Outcome{path, true, watching, false};
    });
}

void FileWatcher::eventsPending()
{
    // Always drain, also while disabled, or the notifier fires forever. A
    // folder that came back is armed again in there.
    useWatch([watch = m_watch, outcome = m_armed]() mutable {
        outcome.finished = watch->readEvents();
        outcome.watching = watch->folderWatched();
        return outcome;
    });
}

void FileWatcher::useWatch(std::function<Outcome()> use)
{
    // One use at a time: the landing of the pending one catches up.
    if (m_use.pending())
        return;
    auto landLater = [this](Outcome outcome) {
        if (m_notifier)
            m_notifier->setEnabled(true);
        land(outcome);
        update();
    };
    if (const std::optional<Outcome> outcome = m_use.run(std::move(use), scb::CallBound{}, landLater)) {
        land(*outcome);
        return;
    }
    // The watch belongs to the worker until the use lands; its events wait
    // in the kernel meanwhile.
    if (m_notifier)
        m_notifier->setEnabled(false);
}

void FileWatcher::land(const Outcome &outcome)
{
    m_armed = outcome;
    if (outcome.finished && m_enabled && !m_settle->isActive())
        m_settle->start();
}
