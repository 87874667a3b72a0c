// A device that stops answering (a wedged adapter, a driver stuck in a call): every wait on
// it ends within its bound, and stopping the service neither hangs nor lets the stuck
// worker touch the next run.

#include "com_port.h"
#include "messages.h"
#include "serial_device.h"

#include <QElapsedTimer>
#include <QtTest>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

// Blocks in the chosen call until released, whatever time limit it was given.
class Wedge {
public:
    enum Call { None, Open, Read };

    void arm(Call call)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        call_ = call;
        released_ = false;
        inside_ = false;
        closed_late_ = 0;
    }
    void block_if(Call call)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (call_ != call)
            return;
        inside_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return released_; });
    }
    bool wait_inside(int ms)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return inside_; });
    }
    void release()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }
    void count_close()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++closed_late_;
    }
    int closes()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return closed_late_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    Call call_ = None;
    bool released_ = false;
    bool inside_ = false;
    int closed_late_ = 0;
};

class WedgingDevice final : public SerialDevice {
public:
    explicit WedgingDevice(Wedge &wedge) : wedge_(wedge) {}
    bool open(const char *, int) override
    {
        wedge_.block_if(Wedge::Open);
        return true;
    }
    void close() override { wedge_.count_close(); }
    int read(uint8_t *buffer, int length, int) override
    {
        wedge_.block_if(Wedge::Read);
        std::memset(buffer, 0, static_cast<size_t>(length));
        return 0;
    }
    int write(const uint8_t *, int length, int) override { return length; }
    bool purge_rx() override { return true; }
    void purge_tx() override {}
    void set_dtr(bool) override {}
    void set_rts(bool) override {}
    int bytes_waiting() override { return 0; }

private:
    Wedge &wedge_;
};

class NoSleep final : public Sleeper {
public:
    void sleep_ms(int) override {}
};

}  // namespace

class WedgedDeviceTest : public QObject {
    Q_OBJECT

    Wedge wedge_;
    NoSleep sleeper_;

private slots:
    void initTestCase()
    {
        set_default_sleeper(&sleeper_);
        com_set_device_factory([this] { return std::make_unique<WedgingDevice>(wedge_); });
    }
    void cleanupTestCase()
    {
        com_set_device_factory(nullptr);
        set_default_sleeper(nullptr);
    }
    void init()
    {
        wedge_.arm(Wedge::None);
        com_service_start();
    }
    void cleanup()
    {
        wedge_.release();
        com_service_stop();
    }

    // The open ends at its bound; the device that opens later is closed again and the slot
    // stays free for the next open.
    void open_that_times_out_frees_its_slot()
    {
        wedge_.arm(Wedge::Open);
        QElapsedTimer t;
        t.start();
        QCOMPARE(com_open("/dev/stuck", 9600), -1);
        QVERIFY2(t.elapsed() >= COM_OPEN_WAIT_MS - 50 && t.elapsed() < COM_OPEN_WAIT_MS + 2000,
                 qPrintable(QString::number(t.elapsed())));
        for (int i = 0; i < COM_PORT_COUNT; ++i)
            QCOMPARE(com_port_info(i).in_use, 0);

        wedge_.release();
        QTRY_COMPARE(wedge_.closes(), 1);
        const int port = com_open("/dev/stuck", 9600);
        QCOMPARE(port, 0);
        QVERIFY(com_port_info(port).in_use);
        com_close(port);
    }

    // A read stuck in the device: closing and stopping end at their bounds, the program can
    // go on (or end), and the stuck worker, once free, leaves the next run's slots alone.
    void stuck_read_bounds_close_and_stop()
    {
        const int port = com_open("/dev/stuck", 9600);
        QVERIFY(port >= 0);
        wedge_.arm(Wedge::Read);
        int read_result = 0;
        std::thread reader([&] {
            uint8_t buffer[7];
            read_result = com_read(port, buffer, 7);
        });
        QVERIFY(wedge_.wait_inside(5000));

        QElapsedTimer t;
        t.start();
        com_close(port);
        QVERIFY2(t.elapsed() < COM_CLOSE_WAIT_MS + 1000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(com_port_info(port).in_use, 0);
        t.restart();
        com_service_stop();
        QVERIFY2(t.elapsed() < COM_STOP_WAIT_MS + 1000, qPrintable(QString::number(t.elapsed())));
        QVERIFY(!com_service_running());

        com_service_start();
        wedge_.release();  // the stuck read goes on as well
        const int again = com_open("/dev/other", 9600);
        QCOMPARE(again, 0);
        reader.join();
        QCOMPARE(read_result, 0);
        QTest::qWait(100);  // the old worker closes its device and ends
        QVERIFY(com_port_info(again).in_use);
        QVERIFY(!com_port_info(again).lost);
        uint8_t buffer[7];
        QCOMPARE(com_read(again, buffer, 7), 0);
        com_close(again);
    }
};

QTEST_GUILESS_MAIN(WedgedDeviceTest)
#include "tst_wedged_device.moc"
