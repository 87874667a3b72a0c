// The deferred operation queue on its own: order, capacity, one code per tick, deletion.

#include <QtTest>
#include <memory>

#include "messages.h"
#include "ochered.h"

namespace {
class RecordingOwner : public OcheredOwner {
public:
    QList<int> codes;
    void run_operation(int code) override { codes.append(code); }
};

class NoSleep : public Sleeper {
public:
    QList<int> pauses;
    void sleep_ms(int ms) override { pauses.append(ms); }
};
}  // namespace

class TestOchered : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        sleeper_.pauses.clear();
        set_default_sleeper(&sleeper_);
    }
    void cleanup() { set_default_sleeper(nullptr); }

    void post_and_take_in_order();
    void full_queue_refuses();
    void timer_dispatches_in_order_one_per_tick();
    void deleting_with_codes_pending_runs_none();
    void nested_tick_does_not_start_next_code();

private:
    NoSleep sleeper_;
};

void TestOchered::post_and_take_in_order()
{
    RecordingOwner owner;
    OCHERED_PRG_K40 q(100000, &owner);  // the timer never fires here
    int code = 0;
    QVERIFY(!q.take(code));
    for (int c : {2003, 2000, 2004, 2003})
        QVERIFY(q.post(c));
    QCOMPARE(q.pending(), 4);
    QList<int> taken;
    while (q.take(code))
        taken.append(code);
    QCOMPARE(taken, QList<int>({2003, 2000, 2004, 2003}));
    QCOMPARE(q.pending(), 0);
}

void TestOchered::full_queue_refuses()
{
    RecordingOwner owner;
    OCHERED_PRG_K40 q(100000, &owner);
    for (int i = 0; i < OCHERED_PRG_K40::CAPACITY; ++i)
        QVERIFY(q.post(i));
    QVERIFY(!q.post(9999));
    QCOMPARE(q.pending(), OCHERED_PRG_K40::CAPACITY);
    int code = -1;
    QVERIFY(q.take(code));
    QCOMPARE(code, 0);
    QVERIFY(q.post(7777));  // room again after one was taken
    int last = -1;
    while (q.take(code))
        last = code;
    QCOMPARE(last, 7777);
}

void TestOchered::timer_dispatches_in_order_one_per_tick()
{
    RecordingOwner owner;
    OCHERED_PRG_K40 q(50, &owner);
    q.post(2001);
    q.post(2002);
    q.post(2000);
    QVERIFY(owner.codes.isEmpty());  // nothing runs at posting time
    QTRY_COMPARE_WITH_TIMEOUT(owner.codes.size(), 1, 1000);
    QCOMPARE(q.pending(), 2);  // one code per tick
    QTRY_COMPARE_WITH_TIMEOUT(owner.codes.size(), 3, 1000);
    QCOMPARE(owner.codes, QList<int>({2001, 2002, 2000}));
}

void TestOchered::deleting_with_codes_pending_runs_none()
{
    RecordingOwner owner;
    auto q = std::make_unique<OCHERED_PRG_K40>(50, &owner);
    q->post(2003);
    q->post(2004);
    q.reset();
    QCOMPARE(sleeper_.pauses, QList<int>({100}));  // two intervals
    QTest::qWait(200);
    QVERIFY(owner.codes.isEmpty());
}

void TestOchered::nested_tick_does_not_start_next_code()
{
    class SlowOwner : public OcheredOwner {
    public:
        QStringList events;
        void run_operation(int code) override
        {
            events << QStringLiteral("start %1").arg(code);
            QTest::qWait(200);  // a modal dialog's loop: ticks arrive meanwhile
            events << QStringLiteral("end %1").arg(code);
        }
    } owner;
    OCHERED_PRG_K40 q(20, &owner);
    q.post(2000);
    q.post(2001);
    QTRY_COMPARE_WITH_TIMEOUT(owner.events.size(), 4, 2000);
    QCOMPARE(owner.events, QStringList({"start 2000", "end 2000", "start 2001", "end 2001"}));
}

QTEST_MAIN(TestOchered)
#include "tst_ochered.moc"
