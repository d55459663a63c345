// The one worker thread type: order, the newest wish, its end and what it
// leaves behind, and the look it takes while idle.
#include "worker.h"

#include <QtTest>

#include <atomic>
#include <future>
#include <mutex>
#include <optional>

using namespace std::chrono_literals;
using kiramoku::Worker;

class TestWorker : public QObject {
    Q_OBJECT

private slots:
    // Jobs posted while a first one holds the thread: letters for their slots
    // (a letter: that slot; '-': none; '!': Drop()). What the thread did, in order.
    void theNewestWishReplacesOnlyTheSameSlotWaitingLast_data()
    {
        // clang-format off
        QTest::addColumn<QString>("posted");
        QTest::addColumn<QString>("done");
        QTest::newRow("no slots: every job, in order") << "---" << "H012";
        QTest::newRow("one slot: the newest") << "aaa" << "H2";
        QTest::newRow("another slot between") << "aba" << "H012";
        QTest::newRow("a job of no slot between") << "a-a" << "H012";
        QTest::newRow("the same slot after another") << "abb" << "H02";
        QTest::newRow("dropped, then one more") << "ab!a" << "H3";
        // clang-format on
    }
    void theNewestWishReplacesOnlyTheSameSlotWaitingLast()
    {
        QFETCH(QString, posted);
        QFETCH(QString, done);
        QString did;
        std::mutex held;
        std::unique_lock hold(held);
        std::promise<void> begun;
        Worker worker(5s);
        worker.Post([&] { begun.set_value(); const std::lock_guard wait(held); did += 'H'; }, 'a');
        begun.get_future().wait();  // in hand: never replaced
        for (int i = 0; i < posted.size(); ++i) {
            if (posted[i] == '!')
                worker.Drop();
            else
                worker.Post([&did, i] { did += QString::number(i); }, posted[i] == '-' ? Worker::NoSlot : posted[i].unicode());
        }
        QVERIFY(!worker.Settle(20ms));
        hold.unlock();
        QVERIFY(worker.Settle(5s));
        QCOMPARE(did, done);
    }

    // The end waits for the jobs given; a thread held longer is left behind, and told.
    void theEndWaitsItsTimeThenLeavesTheThreadBehind_data()
    {
        // clang-format off
        QTest::addColumn<int>("jobMs");
        QTest::addColumn<bool>("leftBehind");
        QTest::newRow("done within the wait") << 100 << false;
        QTest::newRow("held past it") << 3000 << true;
        // clang-format on
    }
    void theEndWaitsItsTimeThenLeavesTheThreadBehind()
    {
        QFETCH(int, jobMs);
        QFETCH(bool, leftBehind);
        auto finished = std::make_shared<std::atomic<bool>>(false);
        bool told = false;
        QElapsedTimer ended;
        std::optional<Worker> worker(std::in_place, 300ms, [&] { told = true; });
        worker->Post([finished, jobMs] { std::this_thread::sleep_for(std::chrono::milliseconds(jobMs)); *finished = true; });
        ended.start(), worker.reset();
        QVERIFY2(told == leftBehind && *finished != leftBehind && ended.elapsed() < 1500, qPrintable(QString::number(ended.elapsed())));
        QTRY_VERIFY(*finished);  // the thread left behind goes on with its job
    }

    // While idle after a job, the look comes every period until it answers false.
    void anIdleWorkerLooksUntilTheLookSaysEnough()
    {
        std::atomic<int> looks{0};
        Worker worker(1s);
        worker.WhileIdle(30ms, [&] { return ++looks < 3; });
        for (const int after : {0, 3, 4}) {  // no job yet, then after a job each time, and no more
            QTRY_COMPARE(looks.load(), after);
            QTest::qWait(100);
            QCOMPARE(looks.load(), after);
            worker.Post([] {});
        }
    }
};

QTEST_GUILESS_MAIN(TestWorker)
#include "test_worker.moc"
