// The busy lock: its holder takes it again at once; another thread waits for the release
// or, after the limit, runs without it.

#include <QElapsedTimer>
#include <QThread>
#include <QtTest>
#include <atomic>

#include "form_lock.h"

class TestFormLock : public QObject {
    Q_OBJECT
private slots:
    void holder_takes_it_again();
    void unlock_without_holding_is_harmless();
    void other_thread_waits_for_release();
    void other_thread_gives_up_after_limit();
};

void TestFormLock::holder_takes_it_again()
{
    FormLock lock;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(lock.lock(30000));
    QVERIFY(lock.lock(30000));
    QVERIFY(clock.elapsed() < 1000);
    QCOMPARE(lock.depth(), 2);
    lock.unlock();
    QVERIFY(lock.held_by_current_thread());
    lock.unlock();
    QVERIFY(!lock.held_by_current_thread());
    QCOMPARE(lock.depth(), 0);
}

void TestFormLock::unlock_without_holding_is_harmless()
{
    FormLock lock;
    lock.unlock();
    QCOMPARE(lock.depth(), 0);
    QVERIFY(lock.lock(10));
    QCOMPARE(lock.depth(), 1);
}

void TestFormLock::other_thread_waits_for_release()
{
    FormLock lock;
    QVERIFY(lock.lock());
    std::atomic<int> got{-1};
    std::atomic<bool> held_there{false};
    QThread *t = QThread::create([&] {
        got = lock.lock(5000) ? 1 : 0;
        held_there = lock.held_by_current_thread();
        lock.unlock();
    });
    t->start();
    QTest::qWait(100);
    QCOMPARE(got.load(), -1);  // still waiting
    lock.unlock();
    QVERIFY(t->wait(5000));
    delete t;
    QCOMPARE(got.load(), 1);
    QVERIFY(held_there.load());
    QCOMPARE(lock.depth(), 0);
}

void TestFormLock::other_thread_gives_up_after_limit()
{
    FormLock lock;
    QVERIFY(lock.lock());
    std::atomic<int> got{-1};
    QElapsedTimer clock;
    clock.start();
    QThread *t = QThread::create([&] {
        got = lock.lock(150) ? 1 : 0;
        lock.unlock();  // it holds nothing, so this gives nothing back
    });
    t->start();
    QVERIFY(t->wait(5000));
    delete t;
    QVERIFY(clock.elapsed() >= 140);
    QCOMPARE(got.load(), 0);
    QCOMPARE(lock.depth(), 1);  // still ours
    QVERIFY(lock.held_by_current_thread());
    lock.unlock();
}

QTEST_MAIN(TestFormLock)
#include "tst_form_lock.moc"
