// The radio transactions against the simulated radio over a real pseudo-terminal: success
// paths, retries, and four hostile radios for every transaction.

#include "link_fixture.h"
#include "radio_protocol.h"
#include "raw_pty.h"

#include <QElapsedTimer>
#include <QtTest>

#include <cstring>
#include <thread>

namespace {

QString u(const char *text) { return QString::fromUtf8(text); }

int count_frames(const SimulatedRadio &radio, SimFrameKind kind)
{
    int n = 0;
    for (const SimFrame &f : radio.journal())
        n += f.kind == kind;
    return n;
}

// Eight packets for programmable addresses, the last two fillers.
QByteArray test_batch()
{
    QByteArray batch(RADIO_BATCH_SIZE, '\0');
    const uint8_t addresses[8] = {1, 3, 4, 60, 96, 130, 159, 159};
    for (int i = 0; i < 8; ++i)
        make_write_packet(reinterpret_cast<uint8_t *>(batch.data()) + i * RADIO_RECORD_SIZE,
                          addresses[i], static_cast<uint8_t>(0xA0 + i));
    return batch;
}

const uint8_t *bytes(const QByteArray &a) { return reinterpret_cast<const uint8_t *>(a.data()); }

enum Transaction { StateQuery, ModeCommand, ImageDump, WriteBatch };
enum Hostile { NeverAnswers, DeviceFails, Garbage, ShortGarbage };

SimFaults hostile_faults(Hostile kind)
{
    SimFaults f;
    f.seed = 7;
    switch (kind) {
    case NeverAnswers: f.silent = FaultRule::always(); break;
    case DeviceFails: f.vanish_at = 0; break;
    case Garbage: f.garbage = FaultRule::always(); break;
    case ShortGarbage: f.short_garbage = FaultRule::always(); break;
    }
    return f;
}

}  // namespace

Q_DECLARE_METATYPE(SimFaults)
Q_DECLARE_METATYPE(Transaction)
Q_DECLARE_METATYPE(Hostile)

class RadioProtocolTest : public QObject {
    Q_OBJECT

    TestSleeper sleeper_;
    ComServiceScope service_{sleeper_};
    RecordingSink sink_;
    Reporter reporter_{&sink_, &sleeper_};

    bool run(Transaction t, int port)
    {
        switch (t) {
        case StateQuery: {
            uint8_t state[RADIO_STATE_SIZE];
            return query_state(port, state, reporter_);
        }
        case ModeCommand: {
            uint8_t command[RADIO_STATE_SIZE] = {'$', 'M', 'C', 0, 5, 0, 0x0D};
            return execute_command(port, command, RADIO_COMMAND_DELAY_MS, reporter_);
        }
        case ImageDump: {
            RS_EEPROM_IMAGE image{};
            return read_image(port, &image, ImageCheck(), reporter_);
        }
        case WriteBatch: return write_batch(port, bytes(test_batch()), reporter_);
        }
        return false;
    }

private slots:
    void init()
    {
        sink_.clear();
        sleeper_.clear();
    }

    void programmable_addresses_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<bool>("programmable");
        for (int a : {2,  5,   8,   11,  14,  17,  20,  23,  26,  28,  29,  72,  92,
                      93, 114, 115, 116, 117, 118, 119, 120, 129, 135, 136, 151, 152})
            QTest::newRow(qPrintable(QStringLiteral("kept %1").arg(a))) << a << false;
        for (int a : {0, 1, 3, 27, 60, 71, 96, 104, 113, 130, 150})
            QTest::newRow(qPrintable(QStringLiteral("free %1").arg(a))) << a << true;
        for (int a : {-1, 153, 159, 255, 256})
            QTest::newRow(qPrintable(QStringLiteral("outside %1").arg(a))) << a << false;
    }
    void programmable_addresses()
    {
        QFETCH(int, address);
        QTEST(is_programmable_address(address), "programmable");
    }
    void programmable_address_count()
    {
        int n = 0;
        for (int a = 0; a < 256; ++a)
            n += is_programmable_address(a);
        QCOMPARE(n, 153 - 26);
    }

    void image_records_data()
    {
        QByteArray good;
        for (int a = 0; a < 153; ++a)
            good += QByteArray("$SE") + char(a) + char(0x55) + char(0x0D);
        QTest::addColumn<QByteArray>("dump");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("good") << good << true;
        QByteArray free_bytes = good;
        free_bytes[5] = 'x';
        free_bytes[917] = '\0';
        QTest::newRow("terminators not examined") << free_bytes << true;
        QTest::newRow("one byte short") << good.left(917) << false;
        QTest::newRow("one byte long") << good + 'x' << false;
        QByteArray last_bad = good;
        last_bad[152 * 6 + 2] = 'F';
        QTest::newRow("last record misframed") << last_bad << false;
        QByteArray first_bad = good;
        first_bad[0] = '#';
        QTest::newRow("first record misframed") << first_bad << false;
    }
    void image_records()
    {
        QFETCH(QByteArray, dump);
        QTEST(check_image_records(bytes(dump), dump.size()), "accepted");
    }

    void state_query_bad_arguments()
    {
        uint8_t state[RADIO_STATE_SIZE];
        QVERIFY(!query_state(-1, state, reporter_));
        QVERIFY(!query_state(0, nullptr, reporter_));
        const QString text = u("Error: Получение состояния РС - my_c_port < 0 || sost == 0");
        QCOMPARE(sink_.messages(), QStringList({text, text}));
    }

    void state_query_retries_reads_data()
    {
        QTest::addColumn<int>("silent");
        QTest::addColumn<bool>("ok");
        QTest::newRow("answers at once") << 0 << true;
        QTest::newRow("answers the second") << 1 << true;
        QTest::newRow("answers the fourth") << 3 << true;
        QTest::newRow("never within four") << 4 << false;
    }
    void state_query_retries_reads()
    {
        QFETCH(int, silent);
        QFETCH(bool, ok);
        SimFaults faults;
        faults.silent = FaultRule::times(0, silent).only(SIM_REPLY_STATE);
        RadioFixture f(faults, 57600, RADIO_SOST_TRANSMITTING);
        QVERIFY(f.port >= 0);
        sleeper_.clear();
        uint8_t state[RADIO_STATE_SIZE];
        QCOMPARE(query_state(f.port, state, reporter_), ok);
        QCOMPARE(count_frames(*f.radio, SimFrameKind::StateQuery), std::min(silent + 1, 4));
        QCOMPARE(sleeper_.calls(), std::vector<int>(size_t(std::min(silent + 1, 4)), 100));
        if (ok) {
            QVERIFY(sink_.messages().isEmpty());
            QCOMPARE(QByteArray(reinterpret_cast<char *>(state), 7),
                     QByteArray("$SS\x00\x03\x20\r", 7));
        } else {
            QCOMPARE(sink_.messages(),
                     QStringList(u("Error: Получение состояния РС - чтени из COM порта.")));
        }
    }

    void misframed_state_reply_passes_the_query()
    {
        SimFaults faults;
        faults.bad_state_frame = FaultRule::always();
        RadioFixture f(faults);
        uint8_t state[RADIO_STATE_SIZE];
        QVERIFY(query_state(f.port, state, reporter_));
        QCOMPARE(state[0], uint8_t('#'));
        QCOMPARE(state[6], uint8_t('\n'));
    }

    void mode_command_data()
    {
        QTest::addColumn<SimFaults>("faults");
        QTest::addColumn<int>("delay");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("commands");
        QTest::addColumn<QString>("message");
        QTest::newRow("confirmed") << SimFaults() << 100 << true << 1 << QString();
        QTest::newRow("confirmed, caller's delay") << SimFaults() << 300 << true << 1 << QString();
        SimFaults once;
        once.silent = FaultRule::times(0, 1).only(SIM_REPLY_MODE);
        QTest::newRow("second attempt answered") << once << 100 << true << 2 << QString();
        SimFaults ignored;
        ignored.ignore_mode = FaultRule::always();
        QTest::newRow("unconfirmed") << ignored << 100 << false << 1 << QString();
        SimFaults silent;
        silent.silent = FaultRule::always().only(SIM_REPLY_MODE);
        QTest::newRow("silent")
            << silent << 100 << false << 4
            << u("Ошибка выполнения команды к радиостанции - не получен ответ от станции.");
    }
    void mode_command()
    {
        QFETCH(SimFaults, faults);
        QFETCH(int, delay);
        QFETCH(bool, ok);
        RadioFixture f(faults, 57600, RADIO_SOST_TRANSMITTING | RADIO_SOST_BIT3);
        QVERIFY(f.port >= 0);
        sleeper_.clear();
        uint8_t command[RADIO_STATE_SIZE] = {'$', 'M', 'C', 0, 6, RADIO_SOST_BIT3, 0x0D};
        QCOMPARE(execute_command(f.port, command, delay, reporter_), ok);
        QTEST(count_frames(*f.radio, SimFrameKind::ModeCommand), "commands");
        QFETCH(QString, message);
        QCOMPARE(sink_.messages(), message.isEmpty() ? QStringList() : QStringList(message));
        if (ok) {
            QCOMPARE(f.radio->state().nk, uint8_t(6));
            QCOMPARE(f.radio->state().sost, RADIO_SOST_BIT3);
            // The buffer now holds the confirming state reply.
            QCOMPARE(QByteArray(reinterpret_cast<char *>(command), 7),
                     QByteArray("$SS\x00\x06\x08\r", 7));
            const std::vector<int> waits = sleeper_.calls();
            QCOMPARE(waits.back(), 100);  // the confirming state query
            QCOMPARE(waits[waits.size() - 2], 200);
            QCOMPARE(waits[waits.size() - 3], delay);
        } else if (QTest::currentDataTag() == QByteArray("unconfirmed")) {
            QCOMPARE(f.radio->state().nk, uint8_t(3));
        }
    }

    void image_dump_data()
    {
        QTest::addColumn<SimFaults>("faults");
        QTest::addColumn<bool>("decodes");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("requests");
        QTest::newRow("copies agree") << SimFaults() << true << true << 2;
        SimFaults once;
        once.dump_differs = FaultRule::times(0, 1);
        QTest::newRow("differs once, then agrees") << once << true << true << 4;
        SimFaults twice;
        twice.dump_differs = FaultRule::times(1, 2);  // second copy of round one, first of two
        QTest::newRow("differs in both rounds") << twice << true << false << 4;
        QTest::newRow("image does not decode") << SimFaults() << false << false << 2;
    }
    void image_dump()
    {
        QFETCH(SimFaults, faults);
        QFETCH(bool, decodes);
        QFETCH(bool, ok);
        RadioFixture f(faults);
        QVERIFY(f.port >= 0);
        RS_EEPROM_IMAGE image;
        std::memset(image.bytes, 0xAB, sizeof image.bytes);
        int decoder_calls = 0;
        const ImageCheck check = [&](const RS_EEPROM_IMAGE &img) {
            ++decoder_calls;
            return decodes && img.bytes[60] == 3;
        };
        QCOMPARE(read_image(f.port, &image, check, reporter_), ok);
        QTEST(count_frames(*f.radio, SimFrameKind::DumpRequest), "requests");
        QVERIFY(sink_.messages().isEmpty());
        const QByteArray got(reinterpret_cast<char *>(image.bytes), RS_IMAGE_SIZE);
        // Only an image that decodes replaces what the buffer held.
        QCOMPARE(got, ok ? test_image() : QByteArray(RS_IMAGE_SIZE, char(0xAB)));
        QCOMPARE(decoder_calls, ok || !decodes ? 1 : 0);
        QCOMPARE(image.bytes[RS_IMAGE_SIZE], uint8_t(0xAB));
    }

    void sample_image_decodes_with_the_station_data()
    {
        QTest::addColumn<int>("band");
        QTest::addColumn<bool>("ok");
        QTest::newRow("station knows band 1") << 1 << true;
        QTest::newRow("station without band 1") << 7 << false;
    }
    void sample_image_decodes_with_the_station()
    {
        QFETCH(int, band);
        QFETCH(bool, ok);
        SimRadioConfig config;
        config.baud = 57600;
        QString error;
        QVERIFY2(
            sim_load_eep(QStringLiteral(K40_SOURCE_DIR "/data/sample.eep"), config.image, &error),
            qPrintable(error));
        SimulatedRadio radio(config);
        QVERIFY(radio.start());
        const int port = com_open(radio.device_name().toLocal8Bit().constData(), 57600);
        QVERIFY(port >= 0);

        STATION_CONFIG station{};
        station.bands[0] = STATION_BAND{uint8_t(band), 146000, 174000, 0, 0, 0, 0, 25};
        station.band_count = 1;
        station.tun[0] = TUN_POINT{146000, 1.0, uint8_t(band), 255};
        station.tun[1] = TUN_POINT{174000, 2.0, uint8_t(band), 255};
        station.tun_count = 2;
        const ModelContext ctx{&station, reporter_};
        RS_EEPROM_IMAGE image{};
        QCOMPARE(read_image(port, &image, ctx), ok);
        com_close(port);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(image.bytes), RS_IMAGE_SIZE),
                 ok ? config.image : QByteArray(RS_IMAGE_SIZE, '\0'));
        QCOMPARE(sink_.messages(),
                 ok ? QStringList() : QStringList(u("Данный тип радиостанций не поддерживается")));
    }

    void dump_records_beyond_the_image_stay_in_the_buffer()
    {
        RawPty pty;
        const int port = com_open(pty.name(), 57600);
        QVERIFY(port >= 0);
        QByteArray dump;
        for (int r = 0; r < 153; ++r)
            dump += QByteArray("$SE") + char(r == 7 ? 200 : r) + char(0x30 + r % 10) + '\r';
        std::thread radio([&] {
            for (int i = 0; i < 2; ++i)
                if (pty.receive(5, 2000) == "$PSE\r")
                    pty.send(dump);
        });
        RS_EEPROM_IMAGE image{};
        const bool ok = read_image(port, &image, ImageCheck(), reporter_);
        radio.join();
        com_close(port);
        QVERIFY(ok);
        QCOMPARE(image.bytes[200], uint8_t(0x37));
        QCOMPARE(image.bytes[7], uint8_t(0));
        QCOMPARE(image.bytes[8], uint8_t(0x38));
    }

    void write_batch_commits_data()
    {
        QTest::addColumn<SimFaults>("faults");
        QTest::addColumn<int>("sent");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("echoed and committed") << SimFaults() << 1 << QStringList();
        SimFaults wrong;
        wrong.wrong_echo = FaultRule::times(0, 1);
        QTest::newRow("one wrong echo value: sent again whole")
            << wrong << 2
            << QStringList(u("Error: Не совпали записанные и считанные в порт 8 пакетов при "
                             "программировании. Повторяем операцию."));
        SimFaults short_echo;
        short_echo.drop_byte = FaultRule::times(0, 1).only(SIM_REPLY_ECHO);
        QTest::newRow("short echo: sent again")
            << short_echo << 2
            << QStringList(u("Error: Считано из порта менее 8 пакетов при программировании"));
    }
    void write_batch_commits()
    {
        QFETCH(SimFaults, faults);
        QFETCH(int, sent);
        RadioFixture f(faults);
        QVERIFY(f.port >= 0);
        const QByteArray batch = test_batch();
        QVERIFY(write_batch(f.port, bytes(batch), reporter_));
        QTEST(sink_.messages(), "messages");

        std::vector<SimWritePacket> expected;
        for (int s = 0; s < sent; ++s)
            for (int i = 0; i < 8; ++i)
                expected.push_back({uint8_t(batch[i * RADIO_RECORD_SIZE + RADIO_RECORD_ADDRESS]),
                                    uint8_t(batch[i * RADIO_RECORD_SIZE + RADIO_RECORD_VALUE])});
        QCOMPARE(f.radio->write_packets(), expected);
        QCOMPARE(f.radio->commits(), 1);
        QByteArray image = test_image();
        for (int i = 0; i < 6; ++i)  // the two fillers at 159 change nothing
            image[uint8_t(batch[i * RADIO_RECORD_SIZE + RADIO_RECORD_ADDRESS])] =
                batch[i * RADIO_RECORD_SIZE + RADIO_RECORD_VALUE];
        QCOMPARE(f.radio->image(), image);
    }

    void hostile_radio_data()
    {
        QTest::addColumn<Transaction>("transaction");
        QTest::addColumn<Hostile>("radio");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("last");  // last text shown; empty: none at all
        QTest::addColumn<int>("within_ms");
        const QString state_read = u("Error: Получение состояния РС - чтени из COM порта.");
        const QString state_write = u("Error: Получение состояния РС - запись в COM порт");
        const QString mode_silent = u(
            "Ошибка выполнения команды к радиостанции - не получен ответ от станции.");
        const QString mode_write = u("Ошибка выполнения команды к радиостанции.");
        const QString echo_short = u(
            "Error: Считано из порта менее 8 пакетов при программировании");
        const QString batch_write = u("Error: Запись в порт 8 пакетов при программировании");
        const QString echo_bad = u("Error: Не совпали записанные и считанные в порт 8 пакетов "
                                   "при программировании");
        QTest::newRow("state, never answers")
            << StateQuery << NeverAnswers << false << state_read << 1500;
        QTest::newRow("state, device fails")
            << StateQuery << DeviceFails << false << state_write << 1500;
        // Seven bytes are a reply as far as the query goes; framing is the caller's check.
        QTest::newRow("state, garbage") << StateQuery << Garbage << true << QString() << 1000;
        QTest::newRow("state, short garbage")
            << StateQuery << ShortGarbage << false << state_read << 1500;
        QTest::newRow("mode, never answers")
            << ModeCommand << NeverAnswers << false << mode_silent << 1500;
        QTest::newRow("mode, device fails")
            << ModeCommand << DeviceFails << false << mode_write << 1500;
        QTest::newRow("mode, garbage") << ModeCommand << Garbage << false << QString() << 1500;
        QTest::newRow("mode, short garbage")
            << ModeCommand << ShortGarbage << false << mode_silent << 1500;
        QTest::newRow("dump, never answers")
            << ImageDump << NeverAnswers << false << QString() << 1500;
        QTest::newRow("dump, device fails")
            << ImageDump << DeviceFails << false << QString() << 1500;
        QTest::newRow("dump, garbage") << ImageDump << Garbage << false << QString() << 2500;
        QTest::newRow("dump, short garbage")
            << ImageDump << ShortGarbage << false << QString() << 1500;
        QTest::newRow("batch, never answers")
            << WriteBatch << NeverAnswers << false << echo_short << 3500;
        QTest::newRow("batch, device fails")
            << WriteBatch << DeviceFails << false << batch_write << 1500;
        QTest::newRow("batch, garbage") << WriteBatch << Garbage << false << echo_bad << 2000;
        QTest::newRow("batch, short garbage")
            << WriteBatch << ShortGarbage << false << echo_short << 3500;
    }
    void hostile_radio()
    {
        QFETCH(Transaction, transaction);
        QFETCH(Hostile, radio);
        QFETCH(int, within_ms);
        RadioFixture f(hostile_faults(radio));
        QVERIFY(f.port >= 0);
        QElapsedTimer t;
        t.start();
        QTEST(run(transaction, f.port), "ok");
        QVERIFY2(t.elapsed() < within_ms, qPrintable(QString::number(t.elapsed())));
        QFETCH(QString, last);
        if (last.isEmpty())
            QCOMPARE(sink_.messages(), QStringList());
        else
            QCOMPARE(sink_.last(), last);
        // The radio's thread may take the request only after the caller has given up.
        if (radio == DeviceFails)
            QTRY_VERIFY(f.radio->vanished());
        else
            QVERIFY(!f.radio->vanished());
    }
};

QTEST_GUILESS_MAIN(RadioProtocolTest)
#include "tst_radio_protocol.moc"
