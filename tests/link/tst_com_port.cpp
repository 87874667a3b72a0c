// The serial channel over real pseudo-terminals: slots, request handling, read time-outs,
// a device that goes away.

#include "com_port.h"
#include "deadline.h"
#include "link_fixture.h"
#include "qt_serial_device.h"
#include "raw_pty.h"

#include <QElapsedTimer>
#include <QtTest>

namespace {

// A wedged adapter: its driver never gets the bytes onto the line.
class NeverDrainingDevice final : public QtSerialDevice {
protected:
    int output_pending() const override { return 1; }
};

}  // namespace

class ComPortTest : public QObject {
    Q_OBJECT

    TestSleeper sleeper_;
    ComServiceScope service_{sleeper_};

private slots:
    void init() { sleeper_.clear(); }

    void deadline_carries_milliseconds_data()
    {
        QTest::addColumn<int>("ms");
        QTest::addColumn<int>("after");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<int>("millis");
        QTest::newRow("no carry") << 100 << 250 << 10 << 350;
        QTest::newRow("carry") << 900 << 250 << 11 << 150;
        QTest::newRow("exact second") << 500 << 500 << 11 << 0;
        QTest::newRow("many seconds") << 999 << 30001 << 41 << 0;
        QTest::newRow("negative is now") << 400 << -5 << 10 << 400;
    }
    void deadline_carries_milliseconds()
    {
        QFETCH(int, ms);
        QFETCH(int, after);
        const DEADLINE now{10, ms};
        const DEADLINE d = deadline_after(now, after);
        QTEST(int(d.seconds), "seconds");
        QTEST(d.ms, "millis");
        QCOMPARE(deadline_overdue_ms(d, now), -int64_t(std::max(after, 0)));
        QCOMPARE(deadline_overdue_ms(d, d), int64_t(0));
    }

    void read_allowance_data()
    {
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("timeout");
        QTest::newRow("state reply 9600") << 9600 << 7 << 18;
        QTest::newRow("dump 9600") << 9600 << 918 << 2390;
        QTest::newRow("echo 9600") << 9600 << 48 << 125;
        QTest::newRow("state reply 57600") << 57600 << 7 << 3;
        QTest::newRow("one byte 115200") << 115200 << 1 << 0;
    }
    void read_allowance()
    {
        QFETCH(int, speed);
        QFETCH(int, length);
        QTEST(com_read_timeout_ms(speed, length), "timeout");
    }

    void same_name_and_speed_reuse_the_slot()
    {
        RawPty pty;
        QVERIFY(pty.ok());
        const int a = com_open(pty.name(), 9600);
        QVERIFY(a >= 0);
        QCOMPARE(sleeper_.calls(), wake_up_waits());
        QCOMPARE(com_port_info(a).ms_per_byte, 25.0 / 9.6);

        sleeper_.clear();
        QCOMPARE(com_open(pty.name(), 9600), a);
        QVERIFY(sleeper_.calls().empty());  // no second wake-up

        const int b = com_open(pty.name(), 19200);  // another speed: closed and reopened
        QVERIFY(b >= 0);
        QCOMPARE(sleeper_.calls(), wake_up_waits());
        QCOMPARE(com_port_info(b).speed, 19200);
        int slots_with_name = 0;
        for (int i = 0; i < COM_PORT_COUNT; ++i)
            slots_with_name += com_port_info(i).in_use
                               && QByteArray(com_port_info(i).name) == QByteArray(pty.name());
        QCOMPARE(slots_with_name, 1);
        com_close(b);
        QCOMPARE(com_port_info(b).in_use, 0);
    }

    void eleventh_port_gets_no_slot()
    {
        RawPty ptys[COM_PORT_COUNT + 1];
        int opened[COM_PORT_COUNT];
        for (int i = 0; i < COM_PORT_COUNT; ++i) {
            opened[i] = com_open(ptys[i].name(), 9600);
            QVERIFY(opened[i] >= 0);
        }
        QCOMPARE(com_open(ptys[COM_PORT_COUNT].name(), 9600), -1);
        for (int index : opened)
            com_close(index);
        const int again = com_open(ptys[COM_PORT_COUNT].name(), 9600);  // a slot is free now
        QVERIFY(again >= 0);
        com_close(again);
    }

    void bad_open_arguments_fail_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("speed");
        QTest::newRow("missing device") << QByteArray("/dev/k40-no-such-port") << 9600;
        QTest::newRow("name too long") << QByteArray(300, 'x') << 9600;
        QTest::newRow("zero speed") << QByteArray("/dev/null") << 0;
    }
    void bad_open_arguments_fail()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, speed);
        QCOMPARE(com_open(name.constData(), speed), -1);
        for (int i = 0; i < COM_PORT_COUNT; ++i)
            QCOMPARE(com_port_info(i).in_use, 0);
    }

    void read_returns_what_arrived_data()
    {
        QTest::addColumn<int>("arrive");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("extra");
        QTest::newRow("nothing") << 0 << 10 << 0;
        QTest::newRow("three of ten") << 3 << 10 << 0;
        QTest::newRow("all") << 10 << 10 << 0;
        QTest::newRow("three of ten, extra") << 3 << 10 << 150;
        QTest::newRow("nothing, long read") << 0 << 100 << 0;
    }
    void read_returns_what_arrived()
    {
        QFETCH(int, arrive);
        QFETCH(int, length);
        QFETCH(int, extra);
        RawPty pty;
        const int port = com_open(pty.name(), 9600);
        QVERIFY(port >= 0);
        const QByteArray sent = QByteArray("0123456789").left(arrive);
        QVERIFY(pty.send(sent));
        QTest::qWait(20);

        uint8_t buffer[128];
        std::memset(buffer, 0xEE, sizeof buffer);
        const int timeout = com_read_timeout_ms(9600, length) + COM_READ_MARGIN_MS + extra;
        QElapsedTimer t;
        t.start();
        const int got = com_read_extra(port, buffer, length, extra);
        const qint64 took = t.elapsed();
        QCOMPARE(got, arrive);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(buffer), arrive), sent);
        for (int i = arrive; i < length; ++i)
            QCOMPARE(int(buffer[i]), 0);
        if (arrive < length)
            QVERIFY2(took >= timeout - 1, qPrintable(QString::number(took)));
        QVERIFY2(took < timeout + 150, qPrintable(QString::number(took)));
        com_close(port);
    }

    void write_purge_and_waiting_count()
    {
        RawPty pty;
        const int port = com_open(pty.name(), 9600);
        QVERIFY(port >= 0);
        const uint8_t frame[] = {'$', 'P', 'S', 'S', 0x0D};
        QCOMPARE(com_write(port, frame, 5), 5);
        QCOMPARE(pty.receive(5), QByteArray("$PSS\r"));

        QVERIFY(pty.send("abcd"));
        QTRY_COMPARE(com_bytes_waiting(port), 4);
        com_purge_rx(port);
        QCOMPARE(com_bytes_waiting(port), 0);
        com_purge_tx(port);
        com_set_dtr(port, 1);  // no modem lines on a pseudo-terminal: harmless
        com_set_rts(port, 0);
        QCOMPARE(com_write(port, frame, 5), 5);
        com_close(port);
    }

    // A write the far end does not take within the limit fails; what it left unsent must
    // never reach the radio ahead of the next frame.
    void failed_write_leaves_nothing_behind()
    {
        RawPty pty;
        const int port = com_open(pty.name(), 9600);
        QVERIFY(port >= 0);
        const std::vector<uint8_t> flood(512 * 1024, 'x');
        QCOMPARE(com_write(port, flood.data(), static_cast<int>(flood.size())), -1);
        while (!pty.receive(1 << 20, 200).isEmpty()) {
        }
        const uint8_t frame[] = {'$', 'P', 'S', 'S', 0x0D};
        QCOMPARE(com_write(port, frame, 5), 5);
        QCOMPARE(pty.receive(1 << 20, 300), QByteArray("$PSS\r"));
        com_close(port);
    }

    void write_that_never_drains_ends_at_its_limit()
    {
        RawPty pty;
        NeverDrainingDevice device;
        QVERIFY(device.open(pty.name(), 9600));
        const uint8_t frame[] = {'$', 'P', 'S', 'S', 0x0D};
        QElapsedTimer t;
        t.start();
        QCOMPARE(device.write(frame, 5, 300), -1);
        QVERIFY2(t.elapsed() >= 290 && t.elapsed() < 1000,
                 qPrintable(QString::number(t.elapsed())));
        t.restart();
        device.close();
        QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
    }

    void other_request_codes_do_nothing_data()
    {
        QTest::addColumn<int>("op");
        for (int op : {7, 8, 9, 11, -1, 100})
            QTest::newRow(qPrintable(QString::number(op))) << op;
    }
    void other_request_codes_do_nothing()
    {
        QFETCH(int, op);
        RawPty pty;
        const int port = com_open(pty.name(), 9600);
        QVERIFY(port >= 0);
        QVERIFY(pty.send("xy"));
        QTRY_COMPARE(com_bytes_waiting(port), 2);

        auto request = std::make_shared<COM_REQUEST>();
        request->port = port;
        request->op = op;
        request->length = 2;
        QCOMPARE(com_submit(request), -1);
        QCOMPARE(request->done.load(), 1);
        QCOMPARE(request->result, -1);
        QCOMPARE(com_bytes_waiting(port), 2);  // the port was not touched
        QVERIFY(com_port_info(port).in_use);
        com_close(port);
    }

    void slot_not_open_reports_failure()
    {
        uint8_t buffer[8] = {};
        for (int index : {-1, 3, COM_PORT_COUNT}) {
            QCOMPARE(com_read(index, buffer, 8), -1);
            QCOMPARE(com_read_extra(index, buffer, 8, 10), -1);
            QCOMPARE(com_write(index, buffer, 8), -1);
            QCOMPARE(com_bytes_waiting(index), -1);
            com_purge_rx(index);
            com_set_dtr(index, 1);
            com_close(index);
        }
    }

    void vanished_device_ends_operations_at_once()
    {
        RawPty pty;
        const int port = com_open(pty.name(), 9600);
        QVERIFY(port >= 0);
        pty.hang_up();

        uint8_t buffer[16];
        QElapsedTimer t;
        t.start();
        QCOMPARE(com_read_extra(port, buffer, 16, 5000), -1);
        QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(com_write(port, buffer, 4), -1);
        QCOMPARE(com_bytes_waiting(port), -1);
        QCOMPARE(com_port_info(port).lost, 1);
        // Opening it again tries the device afresh instead of handing back the dead slot.
        QCOMPARE(com_open(pty.name(), 9600), -1);
        QCOMPARE(com_port_info(port).in_use, 0);
    }

    void device_gone_unnoticed_is_not_reused()
    {
        RawPty pty;
        const int port = com_open(pty.name(), 9600);
        QVERIFY(port >= 0);
        // No call meets the hang-up before the next operation opens the port again.
        pty.hang_up();
        QCOMPARE(com_open(pty.name(), 9600), -1);
        QCOMPARE(com_port_info(port).in_use, 0);
    }

    void stopping_the_service_closes_forgotten_slots()
    {
        RawPty pty;
        const int port = com_open(pty.name(), 9600);
        QVERIFY(port >= 0);
        com_service_stop();
        QVERIFY(!com_service_running());
        for (int i = 0; i < COM_PORT_COUNT; ++i)
            QCOMPARE(com_port_info(i).in_use, 0);
        uint8_t buffer[4];
        QCOMPARE(com_read(port, buffer, 4), -1);

        com_service_start();
        // The device was really released: it opens again (a held lock would refuse it).
        const int again = com_open(pty.name(), 9600);
        QVERIFY(again >= 0);
        com_close(again);
    }
};

QTEST_GUILESS_MAIN(ComPortTest)
#include "tst_com_port.moc"
