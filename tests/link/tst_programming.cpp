// The programming sequence against the radio model in memory: how the radio is put back
// afterwards and how many write rounds a stubborn difference gets.

#include "../model/shipped_station.h"
#include "com_port.h"
#include "image_codec.h"
#include "image_map.h"
#include "link_fixture.h"
#include "model_device.h"
#include "radio_operations.h"
#include "radio_protocol.h"

#include <QFile>
#include <QtTest>

namespace {

QString u(const char *s) { return QString::fromUtf8(s); }

constexpr const char *PORT = "/dev/k40-in-memory";
constexpr int CHANNEL_2_KEY_ADDRESS = 98;

QByteArray sample_image()
{
    QFile f(QStringLiteral(K40_SOURCE_DIR "/data/sample.eep"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// One programming run: the radio holds `image` in state (G 0, `nk`, `sost`); the form is
// that image decoded, to be edited by the test.
struct Programming {
    std::shared_ptr<ModelRadio> radio;
    STATION_CONFIG station = shipped_station();
    RecordingSink sink;
    RecordingSleeper sleeper;
    ModelContext ctx{&station, Reporter(&sink, &sleeper)};
    ProgramForm form;
    int port = -1;

    Programming(const QByteArray &image, uint8_t nk, uint8_t sost)
    {
        radio = std::make_shared<ModelRadio>(image, SimState{0, nk, sost});
        com_set_device_factory([r = radio] { return std::make_unique<ModelDevice>(r); });
        std::strncpy(station.Com_Port_Name, PORT, sizeof station.Com_Port_Name - 1);
        station.Com_Port_BaudRate = 9600;
        RS_EEPROM_IMAGE decoded{};
        std::memcpy(decoded.bytes, image.constData(), RS_IMAGE_SIZE);
        decode_image(ctx, decoded, form.conf);
        form.wc = nk;
        form.flag_conf_read = true;
        form.form_filled = true;
        port = com_open(PORT, 9600);  // the wake-up's waits stay out of what is recorded
    }
    ~Programming()
    {
        com_close(port);
        com_set_device_factory(nullptr);
    }
    bool run()
    {
        sleeper.pauses.clear();
        sink.clear();
        int id = -1;
        const bool ok = program_radio(ctx, id, form);
        return ok && id == port;
    }
    // Sost of every mode command sent, in order.
    QList<int> mode_sost()
    {
        QList<int> out;
        for (const SimFrame &f : radio->journal())
            if (f.kind == SimFrameKind::ModeCommand)
                out << static_cast<uint8_t>(f.bytes[RADIO_STATE_SOST]);
        return out;
    }
};

}  // namespace

class ProgrammingTest : public QObject {
    Q_OBJECT

    RecordingSleeper wake_up_;
    ComServiceScope service_{wake_up_};

private slots:

    // The long wait only when the radio moves to another channel whose scrambler got a new,
    // non-zero key.
    void channel_switch_wait_data()
    {
        QTest::addColumn<int>("nk0");
        QTest::addColumn<int>("key");  // channel 2's new key; it holds 3
        QTest::addColumn<int>("wait");
        QTest::newRow("other channel, new key") << 1 << 5 << 11000;
        QTest::newRow("same channel, new key") << 2 << 5 << 300;
        QTest::newRow("other channel, same key") << 1 << 3 << 300;
        QTest::newRow("other channel, scrambler off") << 1 << 0 << 300;
    }
    void channel_switch_wait()
    {
        QFETCH(int, nk0);
        QFETCH(int, key);
        QFETCH(int, wait);
        QByteArray image = sample_image();
        QCOMPARE(image.size(), RS_IMAGE_SIZE);
        image[CHANNEL_2_KEY_ADDRESS] = static_cast<char>(koder_to_byte(3));
        Programming p(image, static_cast<uint8_t>(nk0), 0);
        QVERIFY(p.port >= 0);
        p.form.conf.koder[1] = static_cast<uint8_t>(key);
        p.form.wc = 2;

        QVERIFY2(p.run(), qPrintable(p.sink.messages().join(QLatin1Char('|'))));
        QCOMPARE(p.sleeper.pauses.contains(11000), wait == 11000);
        QCOMPARE(p.sleeper.pauses.count(300), wait == 300 ? 1 : 0);
        QCOMPARE(int(p.radio->model.state().nk), 2);
    }

    // Bit 3 is always cleared at the end; transmission and tone call come back exactly when
    // they had to be stopped. The radio loses write packets while on the air, so the write
    // lands only because it was taken off first.
    void radio_state_put_back_data()
    {
        QTest::addColumn<int>("sost");
        QTest::addColumn<QList<int>>("sent");
        QTest::newRow("idle") << 0x00 << QList<int>{0x00, 0x00};
        QTest::newRow("bit 3") << 0x08 << QList<int>{0x08, 0x00};
        QTest::newRow("transmitting") << 0x20 << QList<int>{0x00, 0x00, 0x20};
        QTest::newRow("tone call") << 0x10 << QList<int>{0x00, 0x00, 0x10};
        QTest::newRow("both, bit 3 and 0x40") << 0x78 << QList<int>{0x58, 0x48, 0x48, 0x70};
    }
    void radio_state_put_back()
    {
        QFETCH(int, sost);
        QFETCH(QList<int>, sent);
        Programming p(sample_image(), 1, static_cast<uint8_t>(sost));
        p.radio->model.set_deaf_while_transmitting(true);
        p.form.conf.ur_gromk = p.form.conf.ur_gromk == 20 ? 21 : 20;
        QVERIFY2(p.run(), qPrintable(p.sink.messages().join(QLatin1Char('|'))));
        QVERIFY(p.radio->model.image()[ADDR_UR_GROMK] != sample_image()[ADDR_UR_GROMK]);
        QCOMPARE(p.mode_sost(), sent);
        QCOMPARE(int(p.radio->model.state().sost), sent.last());
    }

    // A difference that never goes away (an address programming may not write) gets three
    // rounds, each read back, and no fourth.
    void three_write_rounds_then_give_up()
    {
        Programming p(sample_image(), 1, 0);
        p.form.conf.zapret = p.form.conf.zapret ? 0 : 1;
        p.form.conf.ur_gromk = p.form.conf.ur_gromk == 20 ? 21 : 20;
        QVERIFY(!p.run());
        QCOMPARE(p.sink.last(), u("Error: Не совпадает EEPROM "));
        // Two copies for the image before writing, two for each of the three read-backs.
        QCOMPARE(p.radio->count(SimFrameKind::DumpRequest), 2 + 3 * 2);
        // The writable difference went out once, in one padded batch.
        QCOMPARE(p.radio->count(SimFrameKind::WritePacket), RADIO_BATCH_PACKETS);
        QCOMPARE(p.radio->model.commits(), 1);
        QCOMPARE(p.radio->count(SimFrameKind::ModeCommand), 0);  // nothing restored
    }
};

QTEST_GUILESS_MAIN(ProgrammingTest)
#include "tst_programming.moc"
