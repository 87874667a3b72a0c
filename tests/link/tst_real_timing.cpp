// The whole link with its real waits: the 3.6 s wake-up, the protocol pauses and a radio
// paced at 9600 bit/s.

#include "link_fixture.h"
#include "radio_protocol.h"

#include <QElapsedTimer>
#include <QtTest>

class RealTimingTest : public QObject {
    Q_OBJECT

    RecordingSink sink_;

private slots:
    void initTestCase() { com_service_start(); }
    void cleanupTestCase() { com_service_stop(); }

    void read_and_write_at_9600()
    {
        SimRadioConfig config;
        config.image = test_image();
        config.baud = 9600;
        SimulatedRadio radio(config);
        QVERIFY(radio.start());
        const Reporter reporter(&sink_);
        QElapsedTimer t;

        t.start();
        const int port = com_open(radio.device_name().toLocal8Bit().constData(), 9600);
        QVERIFY(port >= 0);
        QVERIFY2(t.elapsed() >= 3600 && t.elapsed() < 4100,
                 qPrintable(QString::number(t.elapsed())));

        uint8_t state[RADIO_STATE_SIZE];
        t.restart();
        QVERIFY(query_state(port, state, reporter));
        QVERIFY(t.elapsed() >= 100 && t.elapsed() < 250);
        QCOMPARE(state[RADIO_STATE_NK], uint8_t(3));

        // Two 918-byte copies at ten bits a byte, after the 100 ms pause.
        RS_EEPROM_IMAGE image{};
        t.restart();
        QVERIFY(read_image(port, &image, ImageCheck(), reporter));
        const qint64 floor_ms = 100 + 2 * 918 * 10 * 1000 / 9600;
        QVERIFY2(t.elapsed() >= floor_ms && t.elapsed() < floor_ms * 1.1,
                 qPrintable(QString::number(t.elapsed())));
        QCOMPARE(QByteArray(reinterpret_cast<char *>(image.bytes), RS_IMAGE_SIZE), test_image());

        uint8_t batch[RADIO_BATCH_SIZE];
        for (int i = 0; i < RADIO_BATCH_PACKETS; ++i)
            make_write_packet(batch + i * RADIO_RECORD_SIZE, i ? RADIO_FILLER_ADDRESS : 27, 0x42);
        QVERIFY(write_batch(port, batch, reporter));
        QCOMPARE(uint8_t(radio.image()[27]), uint8_t(0x42));

        uint8_t command[RADIO_STATE_SIZE] = {'$', 'M', 'C', 0, 8, 0, 0x0D};
        QVERIFY(execute_command(port, command, RADIO_COMMAND_DELAY_MS, reporter));
        QCOMPARE(radio.state().nk, uint8_t(8));
        QVERIFY(sink_.messages().isEmpty());
        com_close(port);
    }
};

QTEST_GUILESS_MAIN(RealTimingTest)
#include "tst_real_timing.moc"
