// What the device sees of the channel: line settings over a pseudo-terminal, and every line
// call and wait in order through a recording device.

#include "com_port.h"
#include "com_service_scope.h"
#include "raw_pty.h"
#include "recording_device.h"

#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>

class LineSequenceTest : public QObject {
    Q_OBJECT

    LineJournal journal_;
    QByteArray replies_;
    JournalSleeper sleeper_{journal_};
    ComServiceScope service_{sleeper_};

    void record()
    {
        com_set_device_factory(
            [this] { return std::make_unique<RecordingDevice>(journal_, replies_); });
    }

private slots:
    void init()
    {
        journal_.clear();
        replies_.clear();
        com_set_device_factory(nullptr);
    }

    void opening_wakes_the_radio_data()
    {
        QTest::addColumn<int>("speed");
        QTest::newRow("9600") << 9600;
        QTest::newRow("57600") << 57600;
    }
    void opening_wakes_the_radio()
    {
        QFETCH(int, speed);
        record();
        const int port = com_open("/dev/radio", speed);
        QVERIFY(port >= 0);
        const QStringList expected{QStringLiteral("open /dev/radio %1").arg(speed),
                                   "dtr 0",
                                   "rts 0",  // a tty raises both on opening
                                   "wait 300",
                                   "rts 0",
                                   "wait 300",
                                   "dtr 0",
                                   "wait 1000",
                                   "dtr 1",
                                   "wait 500",
                                   "rts 1",
                                   "wait 1500"};
        QCOMPARE(journal_.lines(), expected);

        journal_.clear();
        com_close(port);
        QCOMPARE(journal_.lines(), QStringList{"close"});
    }

    void refused_open_touches_no_line()
    {
        record();
        QCOMPARE(com_open("/dev/refuses", 9600), -1);
        QCOMPARE(journal_.lines(), QStringList{"open /dev/refuses 9600"});
        for (int i = 0; i < COM_PORT_COUNT; ++i)
            QCOMPARE(com_port_info(i).in_use, 0);
    }

    // Each request reaches the device once, with the time limit its length and speed give.
    void requests_reach_the_device_with_their_limits()
    {
        record();
        const int port = com_open("/dev/radio", 9600);
        QVERIFY(port >= 0);
        journal_.clear();
        replies_ = "$SS";

        const uint8_t frame[] = {'$', 'P', 'S', 'S', 0x0D};
        QCOMPARE(com_write(port, frame, 5), 5);
        uint8_t buffer[918] = {};
        QCOMPARE(com_read(port, buffer, 7), 3);
        QCOMPARE(com_read_extra(port, buffer, 918, 200), 0);
        com_purge_rx(port);
        com_purge_tx(port);
        QCOMPARE(com_bytes_waiting(port), 0);
        com_set_rts(port, 1);
        com_set_dtr(port, 0);
        // The length's allowance, the extra, and the adapter's margin on top.
        const QStringList expected{
            "purge tx",
            "write 245053530d in 1000 ms",
            QStringLiteral("read 7 in %1 ms").arg(18 + COM_READ_MARGIN_MS),
            QStringLiteral("read 918 in %1 ms").arg(2390 + 200 + COM_READ_MARGIN_MS),
            "purge rx",
            "purge tx",
            "bytes waiting",
            "rts 1",
            "dtr 0"};
        QCOMPARE(journal_.lines(), expected);
        com_close(port);
    }

    // The far end of a pseudo-terminal sees the settings the real device applied.
    void real_device_sets_8n1_without_flow_control_data()
    {
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("code");
        QTest::newRow("9600") << 9600 << int(B9600);
        QTest::newRow("19200") << 19200 << int(B19200);
        QTest::newRow("57600") << 57600 << int(B57600);
    }
    void real_device_sets_8n1_without_flow_control()
    {
        QFETCH(int, speed);
        QFETCH(int, code);
        RawPty pty;
        QVERIFY(pty.ok());
        const int port = com_open(pty.name(), speed);
        QVERIFY(port >= 0);
        termios t{};
        QVERIFY(pty.settings(&t));
        QCOMPARE(int(cfgetospeed(&t)), code);
        QCOMPARE(int(cfgetispeed(&t)), code);
        QCOMPARE(int(t.c_cflag & CSIZE), int(CS8));
        QCOMPARE(int(t.c_cflag & (PARENB | CSTOPB | CRTSCTS)), 0);
        QCOMPARE(int(t.c_iflag & (IXON | IXOFF)), 0);
        com_close(port);
    }

    // Locked on the device itself while open: another program cannot take it, and a port
    // another program holds does not open.
    void open_port_is_locked()
    {
        RawPty pty;
        // Opened first: once the programmer holds the port, its exclusive mode refuses any
        // further open to everybody but root, before the lock is ever reached.
        const int other = ::open(pty.name(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(other >= 0);
        const int port = com_open(pty.name(), 9600);
        QVERIFY(port >= 0);
        QCOMPARE(::flock(other, LOCK_EX | LOCK_NB), -1);
        com_close(port);
        QCOMPARE(::flock(other, LOCK_EX | LOCK_NB), 0);
        QCOMPARE(com_open(pty.name(), 9600), -1);
        ::close(other);
        const int again = com_open(pty.name(), 9600);
        QVERIFY(again >= 0);
        com_close(again);
    }
};

QTEST_GUILESS_MAIN(LineSequenceTest)
#include "tst_line_sequence.moc"
