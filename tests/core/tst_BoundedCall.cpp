// Calls kept off the caller's thread: a call that answers in time hands its
// result back at once, one that hangs is left pending and lands later through
// the post function, and nobody ever waits for a call stuck for good.

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QFile>
#include <QTest>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "core/BoundedCall.h"
#include "core/FileLook.h"

using namespace std::chrono_literals;

namespace {

// A call that stays inside the file system until the test opens the gate, as
// a stat on a share that stopped answering does. Held by shared_ptr so a
// worker left behind still has it.
struct Gate
{
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    int entered = 0;
    int threadsEnded = 0;

    void pass()
    {
        std::unique_lock lock(mutex);
        ++entered;
        opened.wait(lock, [this] { return open; });
    }

    void release()
    {
        {
            const std::lock_guard lock(mutex);
            open = true;
        }
        opened.notify_all();
    }

    int enteredCount()
    {
        const std::lock_guard lock(mutex);
        return entered;
    }

    int threadsEndedCount()
    {
        const std::lock_guard lock(mutex);
        return threadsEnded;
    }

    // Passes the gate, and counts the calling thread's end: a worker given up
    // ends only after it has decided whether to post its landing.
    void passAndWatchThread(const std::shared_ptr<Gate> &self)
    {
        struct ThreadEnd
        {
            std::shared_ptr<Gate> gate;
            ~ThreadEnd()
            {
                const std::lock_guard lock(gate->mutex);
                ++gate->threadsEnded;
            }
        };
        thread_local ThreadEnd end{self};
        pass();
    }
};

// The caller's queue of posted landings, run when the test says so.
struct Posted
{
    std::mutex mutex;
    std::deque<std::function<void()>> queue;

    scb::BoundedWorker::Post post()
    {
        return [this](std::function<void()> landing) {
            const std::lock_guard lock(mutex);
            queue.push_back(std::move(landing));
        };
    }

    int count()
    {
        const std::lock_guard lock(mutex);
        return int(queue.size());
    }

    void runAll()
    {
        std::deque<std::function<void()>> due;
        {
            const std::lock_guard lock(mutex);
            due.swap(queue);
        }
        for (auto &landing : due)
            landing();
    }
};

constexpr scb::CallBound Short{30ms};
constexpr scb::CallBound Long{5000ms};

} // namespace

class tst_BoundedCall : public QObject
{
    Q_OBJECT

private slots:
    void run_callInTime_returnsResult_workerStays();
    void run_callHangs_leftPendingAndLandsLater();
    void run_callThrows_rethrownWhereItLands_data();
    void run_callThrows_rethrownWhereItLands();
    void run_bound_largeReadIsNotWaitedFor_data();
    void run_bound_largeReadIsNotWaitedFor();
    void supersede_dropsPendingResult_nextRunStartsAtOnce();
    void destroyed_whileCallHangs_returnsAtOnceAndNothingLands();
};

void tst_BoundedCall::run_callInTime_returnsResult_workerStays()
{
    Posted posted;
    scb::BoundedCall<int> call(posted.post());
    std::thread::id first, second;
    QCOMPARE(call.run([&] { first = std::this_thread::get_id(); return 7; }, Long), std::optional<int>(7));
    QVERIFY(!call.pending());
    QCOMPARE(call.run([&] { second = std::this_thread::get_id(); return 8; }, Long), std::optional<int>(8));
    QCOMPARE(second, first);
    QVERIFY(first != std::this_thread::get_id());
    QCOMPARE(posted.count(), 0);
}

void tst_BoundedCall::run_callHangs_leftPendingAndLandsLater()
{
    auto gate = std::make_shared<Gate>();
    Posted posted;
    scb::BoundedCall<int> call(posted.post());
    std::optional<int> landed;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!call.run([gate] { gate->pass(); return 9; }, Short, [&](int v) { landed = v; }));
    QVERIFY(clock.elapsed() < 5000);
    QVERIFY(call.pending());

    // While it hangs nothing else starts.
    QVERIFY(!call.run([] { return 1; }, Long));
    QCOMPARE(gate->enteredCount(), 1);

    gate->release();
    QTRY_COMPARE(posted.count(), 1);
    QVERIFY(call.pending()); // until the landing runs on the caller's thread
    QVERIFY(!landed);
    posted.runAll();
    QCOMPARE(landed, std::optional<int>(9));
    QVERIFY(!call.pending());
    QCOMPARE(call.run([] { return 2; }, Long), std::optional<int>(2));
}

void tst_BoundedCall::run_callThrows_rethrownWhereItLands_data()
{
    QTest::addColumn<bool>("late");
    QTest::newRow("in time, out of run()") << false;
    QTest::newRow("late, out of the landing") << true;
}

void tst_BoundedCall::run_callThrows_rethrownWhereItLands()
{
    QFETCH(bool, late);
    auto gate = std::make_shared<Gate>();
    if (!late)
        gate->release();
    Posted posted;
    scb::BoundedCall<int> call(posted.post());
    auto fail = [gate]() -> int {
        gate->pass();
        throw std::runtime_error("share gone");
    };
    if (!late) {
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, call.run(fail, Long));
    } else {
        QVERIFY(!call.run(fail, Short, [](int) {}));
        gate->release();
        QTRY_COMPARE(posted.count(), 1);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, posted.runAll());
    }
    QVERIFY(!call.pending());
}

void tst_BoundedCall::run_bound_largeReadIsNotWaitedFor_data()
{
    QTest::addColumn<qint64>("answered"); // -1: the stat never answers
    QTest::addColumn<bool>("finished");
    QTest::newRow("stat hangs: given up after the wait") << qint64(-1) << false;
    QTest::newRow("small read: waited for") << qint64(1 << 20) << true;
    QTest::newRow("large read: not waited for") << qint64((1 << 20) + 1) << false;
}

void tst_BoundedCall::run_bound_largeReadIsNotWaitedFor()
{
    QFETCH(qint64, answered);
    QFETCH(bool, finished);
    QTemporaryDir dir;
    const QString path = dir.filePath("Main.txt");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("TIME:\r\nrow\r\n");
    file.close();

    auto gate = std::make_shared<Gate>();
    Posted posted;
    scb::BoundedCall<scb::FileSnapshot> call(posted.post());
    // The gate stands for a stat that never answers, or for a read that
    // takes a while once it has; it opens only once run() has returned, or
    // (for the read that is waited for) shortly after it started.
    auto look = [gate, answered, p = path.toStdString()] {
        if (answered >= 0)
            scb::workAhead(answered);
        gate->pass();
        return scb::lookAtFile(p, 0, {});
    };
    std::thread opener;
    if (finished) {
        opener = std::thread([gate] {
            std::this_thread::sleep_for(100ms);
            gate->release();
        });
    }
    const scb::CallBound bound{answered < 0 ? 30ms : 60000ms};
    const std::optional<scb::FileSnapshot> s = call.run(look, bound);
    if (opener.joinable())
        opener.join();
    QCOMPARE(s.has_value(), finished);
    if (s) {
        QCOMPARE(s->bytes, std::string("TIME:\r\nrow\r\n"));
    } else {
        QTRY_COMPARE(gate->enteredCount(), 1); // still inside the call
        QCOMPARE(posted.count(), 0);
        gate->release();
        QTRY_COMPARE(posted.count(), 1);
    }
}

void tst_BoundedCall::supersede_dropsPendingResult_nextRunStartsAtOnce()
{
    auto gate = std::make_shared<Gate>();
    Posted posted;
    scb::BoundedCall<int> call(posted.post());
    std::optional<int> landed;
    QVERIFY(!call.run([gate] { gate->passAndWatchThread(gate); return 1; }, Short, [&](int v) { landed = v; }));
    call.supersede();
    QVERIFY(!call.pending());
    QCOMPARE(call.run([] { return 2; }, Long), std::optional<int>(2));

    gate->release(); // the given-up worker ends; its result goes nowhere
    QTRY_COMPARE(gate->threadsEndedCount(), 1);
    QCOMPARE(posted.count(), 0);
    QVERIFY(!landed);
}

void tst_BoundedCall::destroyed_whileCallHangs_returnsAtOnceAndNothingLands()
{
    auto gate = std::make_shared<Gate>();
    Posted posted;
    bool landed = false;
    QElapsedTimer clock;
    {
        auto call = std::make_unique<scb::BoundedCall<int>>(posted.post());
        QVERIFY(!call->run([gate] { gate->passAndWatchThread(gate); return 1; }, Short, [&](int) { landed = true; }));
        clock.start();
        call.reset();
    }
    QVERIFY2(clock.elapsed() < 1000, "destruction waited for the hung call");
    gate->release(); // lets the worker left behind end before the process does
    QTRY_COMPARE(gate->threadsEndedCount(), 1);
    QCOMPARE(posted.count(), 0);
    QVERIFY(!landed);
}

QTEST_GUILESS_MAIN(tst_BoundedCall)
#include "tst_BoundedCall.moc"
