#include "adapters/DisplayFileFeed.h"

#include "core/PollTick.h"
#include "core/platform/FileWatch.h"

#include <QScopeGuard>
#include <QSocketNotifier>
#include <QTimer>

#include <utility>

namespace {

// Long enough to fold a writer's quick succession of saves into one look,
// short enough to stay well inside a frame.
constexpr int SettleMs = 2;

} // namespace

DisplayFileFeed::DisplayFileFeed(QTimer *timer, const scb::BoundedWorker::Post &post, Landing land,
                                 QObject *parent)
    : QObject(parent),
      m_timer(timer),
      m_land(std::move(land)),
      m_watch(std::make_shared<scb::FileWatch>(true)),
      m_worker(post),
      m_settle(new QTimer(this))
{
    setObjectName(QStringLiteral("DisplayFileFeed"));
    m_settle->setSingleShot(true);
    m_settle->setInterval(SettleMs);
    m_settle->setTimerType(Qt::PreciseTimer);
    connect(m_settle, &QTimer::timeout, this, &DisplayFileFeed::fileFinished);
    if (m_watch->fd() >= 0) {
        m_notifier = new QSocketNotifier(m_watch->fd(), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &DisplayFileFeed::eventsPending);
    }
}

DisplayFileFeed::~DisplayFileFeed() = default;

void DisplayFileFeed::look(const std::string &path, std::int32_t lastAge, const scb::FileFingerprint &lastPrint)
{
    if (m_worker.pending())
        return;
    m_path = path;
    const auto restart = qScopeGuard([timer = m_timer, on = m_timer->isActive()] {
        if (on)
            timer->start();
    });
    m_timer->stop();
    // The look arms the watch on path and takes its events in, so that the
    // read knows of a writer who started since the last look.
    use([look = m_lookFunction, gate = m_gate, path, lastAge, lastPrint](scb::FileWatch &watch) {
        scb::passGate(gate, path);
        scb::FileSnapshot snapshot =
            look ? look(path, lastAge, lastPrint, &watch) : scb::lookAtFile(path, lastAge, lastPrint, &watch);
        // Split and read here, so that the interface thread only swaps the text in.
        scb::prepareText(snapshot);
        return Outcome{std::move(snapshot), {}, false};
    });
    // A stand-in look may leave the watch where it was.
    arm();
}

void DisplayFileFeed::watch(const std::string &path)
{
    m_path = path;
    arm();
}

void DisplayFileFeed::stop()
{
    if (!m_beforeStop)
        m_beforeStop = Running{m_timer->isActive(), m_announce};
    m_timer->stop();
    // A finish already settling would otherwise run one more tick.
    setWatchEnabled(false);
}

void DisplayFileFeed::resume(const std::string &path)
{
    if (!m_beforeStop)
        return;
    const Running before = *std::exchange(m_beforeStop, std::nullopt);
    m_path = path;
    setWatchEnabled(before.watch);
    if (before.ticks)
        m_timer->start();
}

void DisplayFileFeed::setWatchEnabled(bool enabled)
{
    m_announce = enabled;
    if (!m_announce)
        m_settle->stop();
    listen();
    arm();
}

void DisplayFileFeed::listen()
{
    // While a use is pending the watch belongs to the worker, and its events
    // wait in the kernel; while nobody listens they wait for the next look.
    if (m_notifier)
        m_notifier->setEnabled(m_announce && !m_worker.pending());
}

void DisplayFileFeed::arm()
{
    // Without a watch descriptor there is nothing to arm; while nobody
    // listens the looks arm it. A folder that was missing is tried again at
    // every look.
    if (!m_notifier || !m_announce || m_armedPath == m_path)
        return;
    use([gate = m_gate, path = m_path](scb::FileWatch &watch) {
        if (!path.empty())
            scb::passGate(gate, path);
        watch.follow(path);
        return Outcome{};
    });
}

void DisplayFileFeed::eventsPending()
{
    use([](scb::FileWatch &watch) {
        watch.readEvents();
        return Outcome{};
    });
}

void DisplayFileFeed::use(std::function<Outcome(scb::FileWatch &)> job)
{
    // One use at a time: the landing of the pending one catches up.
    if (m_worker.pending())
        return;
    auto call = [watch = m_watch, job = std::move(job)] {
        Outcome outcome = job(*watch);
        outcome.armedPath = watch->path();
        outcome.finished = watch->takeFinished();
        return outcome;
    };
    // A late snapshot is applied even when the path changed meanwhile: the
    // next tick looks at the new path, and the stamp stored then differs
    // from it anyway.
    auto landLater = [this](Outcome outcome) {
        const bool looked = outcome.snapshot.has_value();
        land(std::move(outcome));
        if (looked && m_timer->isActive())
            m_timer->start();
        listen();
        arm();
    };
    if (std::optional<Outcome> outcome = m_worker.run(std::move(call), scb::CallBound{}, landLater)) {
        land(std::move(*outcome));
        return;
    }
    listen();
}

void DisplayFileFeed::land(Outcome &&outcome)
{
    m_armedPath = std::move(outcome.armedPath);
    if (outcome.finished && m_announce && !m_settle->isActive())
        m_settle->start();
    if (outcome.snapshot)
        m_land(std::move(*outcome.snapshot));
}
