// One verify counter for echo mismatches and missing EEPROM replies. A missing reply costs
// the full 15 s commit wait, so this case has a binary of its own to run beside the others.

#include "link_fixture.h"
#include "radio_protocol.h"

#include <QElapsedTimer>
#include <QtTest>

class VerifyCounterTest : public QObject {
    Q_OBJECT

    TestSleeper sleeper_;
    ComServiceScope service_{sleeper_};
    RecordingSink sink_;

private slots:

    void two_mismatches_and_two_missing_commits_fail()
    {
        SimFaults faults;
        faults.wrong_echo = FaultRule::times(0, 2);
        faults.miss_commit = FaultRule::times(0, 2);
        RadioFixture f(faults);
        QVERIFY(f.port >= 0);
        uint8_t batch[RADIO_BATCH_SIZE];
        for (int i = 0; i < RADIO_BATCH_PACKETS; ++i)
            make_write_packet(batch + i * RADIO_RECORD_SIZE, uint8_t(10 + i), uint8_t(i));

        QElapsedTimer t;
        t.start();
        QVERIFY(!write_batch(f.port, batch, Reporter(&sink_, &sleeper_)));
        const qint64 took = t.elapsed();

        const QString mismatch = QString::fromUtf8(
            "Error: Не совпали записанные и считанные в порт 8 пакетов при программировании. "
            "Повторяем операцию.");
        QCOMPARE(sink_.messages(),
                 QStringList({mismatch, mismatch,
                              QString::fromUtf8("Error: Не прошла команда на запись в EEPROM. "
                                                "Повторяем операцию."),
                              QString::fromUtf8("Error: Не прошла команда на запись в EEPROM")}));
        // Two commit replies awaited for 15 s each, and no more.
        QVERIFY2(took >= 30000 && took < 32500, qPrintable(QString::number(took)));
        QCOMPARE(f.radio->commits(), 0);
        QCOMPARE(f.radio->image(), test_image());
        QCOMPARE(int(f.radio->write_packets().size()), 4 * RADIO_BATCH_PACKETS);
    }
};

QTEST_GUILESS_MAIN(VerifyCounterTest)
#include "tst_verify_counter.moc"
