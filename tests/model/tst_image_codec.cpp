// The image codec: the address map, key and squelch bytes, decoding and encoding address by
// address, failures with their messages, and the tuning bytes.

#include "frequency.h"
#include "image_codec.h"
#include "model_fixture.h"
#include "sample_image.h"

#include <QtTest>

#include <functional>
#include <set>

namespace {

using Mutation = std::function<void(RS_CONF &)>;
using Pokes = QList<QPair<int, int>>;  // image address, byte

const QString BAND_UNSUPPORTED = QStringLiteral("Данный тип радиостанций не поддерживается");
const QString READ_FIRST = QStringLiteral("Сначала необходимо считать параметры");
const QString DECODE_TUN_BAD = QStringLiteral(
    "Ошибка: Проверте TUN точки диапазона в конф. файле.");
const QString OUT_OF_BAND = QStringLiteral(
    "Ошибка: Значение частоты находиться за границами допустимого интервала");

void poke(RS_EEPROM_IMAGE &img, const Pokes &pokes)
{
    for (const auto &p : pokes)
        img.bytes[p.first] = uint8_t(p.second);
}

// The shipped station plus a band 3 that has rows but is never tuned.
STATION_CONFIG station_with_band3()
{
    STATION_CONFIG st = shipped_station();
    add_band(st, 3, 146000, 174000, -21400, 21400, 0, 0, 25);
    return st;
}

// The sample set encoded over the sample base.
RS_EEPROM_IMAGE encoded_sample()
{
    ModelFixture fx;
    RS_CONF conf = sample_conf_band1();
    RS_EEPROM_IMAGE out{};
    const RS_EEPROM_IMAGE base = sample_base_image(1);
    if (!encode_image(fx.ctx(), conf, base, out, true))
        qFatal("sample does not encode");
    return out;
}

}  // namespace

Q_DECLARE_METATYPE(Mutation)
Q_DECLARE_METATYPE(TUN_POINT)

class TestImageCodec : public QObject {
    Q_OBJECT
private slots:
    void keyBytes_data();
    void keyBytes();
    void squelchBytes_data();
    void squelchBytes();
    void addressMap();
    void decodeFields_data();
    void decodeFields();
    void decodeFailures_data();
    void decodeFailures();
    void encodeBytes_data();
    void encodeBytes();
    void encodeCases_data();
    void encodeCases();
    void tuningBytes_data();
    void tuningBytes();
    void encodeOverItself();
};

void TestImageCodec::keyBytes_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("written");  // key encodes back to exactly this byte
    QTest::newRow("0x85 key 5") << 0x85 << 5 << true;
    QTest::newRow("0x05 off") << 0x05 << 0 << false;
    QTest::newRow("0x01 off, as written") << 0x01 << 0 << true;
    QTest::newRow("0x88 key 8") << 0x88 << 8 << true;
    QTest::newRow("0x81 key 1") << 0x81 << 1 << true;
    QTest::newRow("0xFF seven bits") << 0xFF << 127 << true;
}

void TestImageCodec::keyBytes()
{
    QFETCH(int, byte);
    QFETCH(int, key);
    QFETCH(bool, written);
    QCOMPARE(int(koder_from_byte(uint8_t(byte))), key);
    if (written)
        QCOMPARE(int(koder_to_byte(uint8_t(key))), byte);
}

void TestImageCodec::squelchBytes_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("written");
    QTest::newRow("0x10 off") << 0x10 << 0 << true;
    QTest::newRow("0x13 low") << 0x13 << 1 << true;
    QTest::newRow("0x11 high") << 0x11 << 2 << true;
    QTest::newRow("0x1B low CTCSS") << 0x1B << 3 << true;
    QTest::newRow("0x19 high CTCSS") << 0x19 << 4 << true;
    QTest::newRow("0x1D CTCSS") << 0x1D << 5 << true;
    QTest::newRow("0x17 low nibble 7") << 0x17 << 0 << false;
    QTest::newRow("0x1F low nibble 15") << 0x1F << 5 << false;
    QTest::newRow("0x00 bit 0 clear") << 0x00 << 0 << false;
    QTest::newRow("0x0D bit 4 ignored") << 0x0D << 5 << false;
    QTest::newRow("0xE3 upper bits ignored") << 0xE3 << 1 << false;
    QTest::newRow("0x1C bit 0 clear") << 0x1C << 0 << false;
}

void TestImageCodec::squelchBytes()
{
    QFETCH(int, byte);
    QFETCH(int, level);
    QFETCH(bool, written);
    QCOMPARE(int(ph_from_byte(uint8_t(byte))), level);
    if (written)
        QCOMPARE(int(ph_to_byte(uint8_t(level))), byte);
    QCOMPARE(int(ph_to_byte(6)), 0x10);  // no meaning: written as off
}

void TestImageCodec::addressMap()
{
    std::set<int> kept{2, 27, 29, 30, 31, 32, 35, 72, 73, 92, 93, 94, 95};
    for (int k = 0; k < 8; ++k) {
        kept.insert(5 + 3 * k);
        kept.insert(38 + 3 * k);
    }
    for (int a = 61; a <= 70; ++a)
        kept.insert(a);
    for (int a = 114; a <= 129; ++a)
        kept.insert(a);
    for (int a = 131; a <= 152; ++a)
        kept.insert(a);
    const std::map<int, int> partial{{28, 0x7F}, {71, 0xE0}, {130, 0xE0}};
    const std::set<int> factory{2,  5,   8,   11,  14,  17,  20,  23,  26,  28,  29,  72,  92,
                                93, 114, 115, 116, 117, 118, 119, 120, 129, 135, 136, 151, 152};
    for (int a = 0; a < RS_IMAGE_SIZE; ++a) {
        const int mask = kept.count(a) ? 0xFF : partial.count(a) ? partial.at(a) : 0x00;
        QVERIFY2(image_kept_mask(a) == mask, qPrintable(QString::number(a)));
        QVERIFY2(image_address_programmable(a) == !factory.count(a),
                 qPrintable(QString::number(a)));
        const bool owned = IMAGE_MAP[a].field != ImageField::kept;
        QVERIFY2(owned == (mask != 0xFF || a == ADDR_BAND_CODE), qPrintable(QString::number(a)));
    }
    // 18 two-byte codes, 27 per-channel bytes and 13 other owned addresses (29 counts as kept).
    QCOMPARE(int(kept.size()), 153 - 18 * 2 - 27 - 13);
    QVERIFY(!image_address_programmable(-1));
    QVERIFY(!image_address_programmable(153));
    QCOMPARE(int(image_kept_mask(200)), 0xFF);
    QCOMPARE(int(IMAGE_MAP[0].slot), 0);
    QCOMPARE(int(IMAGE_MAP[25].slot), 8);
    QCOMPARE(int(IMAGE_MAP[25].part), 1);
    QVERIFY(IMAGE_MAP[36].field == ImageField::f_prd);
    QVERIFY(IMAGE_MAP[ADDR_VT_PRM_WINDOW].field == ImageField::vt_prm_window);
}

void TestImageCodec::decodeFields_data()
{
    QTest::addColumn<Pokes>("pokes");
    QTest::addColumn<Mutation>("expect");  // applied to the sample set
    const Mutation same = [](RS_CONF &) {};
    QTest::newRow("as encoded") << Pokes{} << same;
    QTest::newRow("working channel 0 reads as 1")
        << Pokes{{60, 0}} << Mutation([](RS_CONF &c) { c.n_rab_kanala = 1; });
    QTest::newRow("working channel 9 reads as 1")
        << Pokes{{60, 9}} << Mutation([](RS_CONF &c) { c.n_rab_kanala = 1; });
    QTest::newRow("working channel 8")
        << Pokes{{60, 8}} << Mutation([](RS_CONF &c) { c.n_rab_kanala = 8; });
    QTest::newRow("key bytes: channel R first in the image, last in the set")
        << Pokes{{96, 0x85}, {97, 0x05}, {104, 0x01}} << Mutation([](RS_CONF &c) {
               c.koder[RS_CHANNEL_R] = 5;
               c.koder[0] = 0;
               c.koder[7] = 0;
           });
    QTest::newRow("squelch bytes: channel R first in both")
        << Pokes{{83, 0x17}, {84, 0x1F}, {91, 0x00}} << Mutation([](RS_CONF &c) {
               c.ph[0] = 0;
               c.ph[1] = 5;
               c.ph[8] = 0;
           });
    QTest::newRow("frequency codes: R, channel 1, transmit channel 8")
        << Pokes{{0, 0x14}, {1, 0x19}, {3, 0}, {4, 0}, {57, 0xFF}, {58, 0xFF}}
        << Mutation([](RS_CONF &c) {
               c.f_prm[RS_CHANNEL_R] = 150025;
               c.f_prm[0] = 0;
               c.f_prd[7] = 0;
           });
    QTest::newRow("CTCSS tx 1568")
        << Pokes{{79, 0x06}, {80, 0x20}} << Mutation([](RS_CONF &c) { c.ctcss_prd = 67.0; });
    // The plain reading 100.3 would be written back as another code; 100.1 is written as 3080.
    QTest::newRow("CTCSS rx 3080")
        << Pokes{{81, 0x0C}, {82, 0x08}}
        << Mutation([](RS_CONF &c) { c.ctcss_prm = round_one_decimal(100.1); });
    QTest::newRow("CTCSS codes without a tone")
        << Pokes{{79, 0}, {80, 0}, {81, 0}, {82, 0}} << Mutation([](RS_CONF &c) {
               c.ctcss_prd = 0;
               c.ctcss_prm = 0;
           });
    QTest::newRow("call tones 2100")
        << Pokes{{74, 0x20}, {75, 0x00}, {76, 0xFF}, {77, 0x62}} << Mutation([](RS_CONF &c) {
               c.vt_prd = 2100;
               c.vt_prm = 2100;
           });
    QTest::newRow("call tone codes without a tone")
        << Pokes{{74, 0}, {75, 0}, {76, 0}, {77, 0}} << Mutation([](RS_CONF &c) {
               c.vt_prd = 0;
               c.vt_prm = 0;
           });
    QTest::newRow("levels are the low five bits")
        << Pokes{{71, 0xFF}, {130, 0xF6}} << Mutation([](RS_CONF &c) {
               c.microphone = 31;
               c.ur_gromk = 22;
           });
    QTest::newRow("zapret is bit 7")
        << Pokes{{28, 0x80}} << Mutation([](RS_CONF &c) { c.zapret = 1; });
    QTest::newRow("other bits of 28 are not zapret") << Pokes{{28, 0x7F}} << same;
    QTest::newRow("window count and kept bytes are not decoded")
        << Pokes{{78, 0}, {2, 0}, {27, 0}, {92, 0}, {120, 0}, {152, 0}, {105, 0}} << same;
}

void TestImageCodec::decodeFields()
{
    QFETCH(Pokes, pokes);
    QFETCH(Mutation, expect);
    RS_EEPROM_IMAGE img = encoded_sample();
    poke(img, pokes);
    RS_CONF expected = sample_conf_band1();
    expect(expected);
    ModelFixture fx;
    RS_CONF conf;
    std::memset(&conf, 0xAB, sizeof conf);  // decoding starts from an empty set
    QVERIFY(decode_image(fx.ctx(), img, conf));
    QCOMPARE(conf_diff(conf, expected), QString());
    QVERIFY(fx.sink.texts().isEmpty());
}

void TestImageCodec::decodeFailures_data()
{
    QTest::addColumn<int>("station");  // 0 shipped, 1 with band 3, 2 without tuning points
    QTest::addColumn<int>("band");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("reported");
    QTest::newRow("unknown band") << 0 << 7 << false << BAND_UNSUPPORTED;
    QTest::newRow("band 0") << 0 << 0 << false << BAND_UNSUPPORTED;
    QTest::newRow("known band 3 decodes without tuning") << 1 << 3 << true << QString();
    QTest::newRow("band 1 without tuning points") << 2 << 1 << false << DECODE_TUN_BAD;
    QTest::newRow("band 2 without tuning points") << 2 << 2 << false << DECODE_TUN_BAD;
}

void TestImageCodec::decodeFailures()
{
    QFETCH(int, station);
    QFETCH(int, band);
    QFETCH(bool, ok);
    QFETCH(QString, reported);
    STATION_CONFIG st = station == 1 ? station_with_band3() : shipped_station();
    if (station == 2)
        st.tun_count = 0;
    ModelFixture fx(st);
    RS_EEPROM_IMAGE img = encoded_sample();
    img.bytes[ADDR_BAND_CODE] = uint8_t(band);
    RS_CONF conf{};
    QCOMPARE(decode_image(fx.ctx(), img, conf), ok);
    QCOMPARE(int(conf.diapazon_code), band);
    if (reported.isEmpty())
        QVERIFY(fx.sink.texts().isEmpty());
    else
        QVERIFY2(was_reported(fx, reported), qPrintable(fx.sink.texts().join('|')));
    if (ok)
        QCOMPARE(conf.f_prm[0], 150025);  // band 3 shares band 1's rows here
}

void TestImageCodec::encodeBytes_data()
{
    QTest::addColumn<int>("addr");
    QTest::addColumn<int>("value");
    QTest::newRow("CTCSS tx 88.5 high") << 79 << 0x08;
    QTest::newRow("CTCSS tx 88.5 low") << 80 << 0x17;
    QTest::newRow("CTCSS rx 88.5 high") << 81 << 0x0A;
    QTest::newRow("CTCSS rx 88.5 low") << 82 << 0xC1;
    QTest::newRow("call tone tx 1450 high") << 74 << (5656 >> 8);
    QTest::newRow("call tone tx 1450 low") << 75 << (5656 & 0xFF);
    QTest::newRow("call tone rx timer high") << 76 << 0xFF;
    QTest::newRow("call tone rx timer low") << 77 << 0x1C;
    QTest::newRow("call tone rx window") << 78 << 8;
    QTest::newRow("rx code R 146100 high") << 0 << (4988 >> 8);
    QTest::newRow("rx code R 146100 low") << 1 << (4988 & 0xFF);
    QTest::newRow("rx code channel 1 150025 high") << 3 << (5145 >> 8);
    QTest::newRow("rx code channel 8 173975 low") << 25 << (6103 & 0xFF);
    QTest::newRow("tx code R 146100 high") << 33 << (5844 >> 8);
    QTest::newRow("tx code channel 3 156750 high") << 42 << (6270 >> 8);
    QTest::newRow("tx code channel 3 156750 low") << 43 << (6270 & 0xFF);
    QTest::newRow("working channel") << 60 << 1;
    QTest::newRow("key R off") << 96 << 0x01;
    QTest::newRow("key channel 2 = 1") << 98 << 0x81;
    QTest::newRow("key channel 7 = 8") << 103 << 0x88;
    QTest::newRow("squelch R low") << 83 << 0x13;
    QTest::newRow("squelch channel 2 high") << 85 << 0x11;
    QTest::newRow("squelch channel 3 low CTCSS") << 86 << 0x1B;
    QTest::newRow("squelch channel 4 off") << 87 << 0x10;
    QTest::newRow("squelch channel 5 high CTCSS") << 88 << 0x19;
    QTest::newRow("squelch channel 6 CTCSS") << 89 << 0x1D;
    QTest::newRow("microphone keeps bits 5..7") << 71 << (0xA0 | 24);
    QTest::newRow("volume keeps bits 5..7") << 130 << (0x40 | 22);
    QTest::newRow("zapret off keeps bits 0..6") << 28 << 0x05;
    QTest::newRow("band code from base") << 29 << 1;
}

void TestImageCodec::encodeBytes()
{
    QFETCH(int, addr);
    QFETCH(int, value);
    QCOMPARE(int(encoded_sample().bytes[addr]), value);
}

void TestImageCodec::encodeCases_data()
{
    QTest::addColumn<Mutation>("mutate");
    QTest::addColumn<Pokes>("basePokes");
    QTest::addColumn<bool>("confRead");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<int>>("pauses");
    QTest::addColumn<Pokes>("outBytes");      // expected bytes of out
    QTest::addColumn<Mutation>("confAfter");  // applied to the mutated set
    const Mutation same = [](RS_CONF &) {};
    QTest::newRow("working channel 0 is written as 0")
        << Mutation([](RS_CONF &c) { c.n_rab_kanala = 0; }) << Pokes{} << true << true
        << QStringList() << QList<int>() << Pokes{{60, 0}} << same;
    QTest::newRow("working channel 9 is written as 1")
        << Mutation([](RS_CONF &c) { c.n_rab_kanala = 9; }) << Pokes{} << true << true
        << QStringList() << QList<int>() << Pokes{{60, 1}} << same;
    QTest::newRow("working channel 8")
        << Mutation([](RS_CONF &c) { c.n_rab_kanala = 8; }) << Pokes{} << true << true
        << QStringList() << QList<int>() << Pokes{{60, 8}} << same;
    QTest::newRow("zapret on sets bit 7 only")
        << Mutation([](RS_CONF &c) { c.zapret = 1; }) << Pokes{{28, 0x05}} << true << true
        << QStringList() << QList<int>() << Pokes{{28, 0x85}} << same;
    QTest::newRow("zapret off clears bit 7 only")
        << same << Pokes{{28, 0xFF}} << true << true << QStringList() << QList<int>()
        << Pokes{{28, 0x7F}} << same;
    QTest::newRow("levels keep the base's upper bits") << Mutation([](RS_CONF &c) {
        c.microphone = 31;
        c.ur_gromk = 0xFF;
    }) << Pokes{{71, 0x40}, {130, 0x00}} << true << true
                                                       << QStringList() << QList<int>()
                                                       << Pokes{{71, 0x5F}, {130, 0x1F}} << same;
    QTest::newRow("keys 0 and 8, squelch 6") << Mutation([](RS_CONF &c) {
        c.koder[0] = 0;
        c.koder[RS_CHANNEL_R] = 8;
        c.ph[0] = 6;
    }) << Pokes{} << true << true << QStringList()
                                             << QList<int>()
                                             << Pokes{{97, 0x01}, {96, 0x88}, {83, 0x10}} << same;
    QTest::newRow("tones normalised in place") << Mutation([](RS_CONF &c) {
        c.ctcss_prm = 67.0;
        c.vt_prd = 1455;
        c.vt_prm = 2104.9;
    }) << Pokes{} << true << true << QStringList()
                                               << QList<int>() << Pokes{}
                                               << Mutation([](RS_CONF &c) {
                                                      c.ctcss_prm = round_one_decimal(66.9);
                                                      c.vt_prd = 1460;
                                                      c.vt_prm = 2100;
                                                  });
    QTest::newRow("not read yet: normalised, band taken, then refused") << Mutation([](RS_CONF &c) {
        c.diapazon_code = 0;
        c.vt_prd = 1455;
    }) << Pokes{} << false << false << QStringList{READ_FIRST} << QList<int>()
                                                                        << Pokes{}
                                                                        << Mutation([](RS_CONF &c) {
                                                                               c.diapazon_code = 1;
                                                                               c.vt_prd = 1460;
                                                                           });
    QTest::newRow("unknown band of the base comes first")
        << same << Pokes{{29, 9}} << false << false << QStringList{QString(), BAND_UNSUPPORTED}
        << QList<int>{50, 2000} << Pokes{} << Mutation([](RS_CONF &c) { c.diapazon_code = 9; });
    QTest::newRow("empty set: band from base, first frequency refused")
        << Mutation([](RS_CONF &c) { c = RS_CONF{}; }) << Pokes{} << true << false
        << QStringList{OUT_OF_BAND} << QList<int>() << Pokes{}
        << Mutation([](RS_CONF &c) { c.diapazon_code = 1; });
    QTest::newRow("set's band replaced by the base's")
        << Mutation([](RS_CONF &c) { c.diapazon_code = 2; }) << Pokes{} << true << true
        << QStringList() << QList<int>() << Pokes{{29, 1}}
        << Mutation([](RS_CONF &c) { c.diapazon_code = 1; });
    QTest::newRow("forbidden frequency refused by the flag the set asks for")
        << Mutation([](RS_CONF &c) {
               c.zapret = 1;
               c.f_prd[2] = 148600;
           })
        << Pokes{} << true << false << QStringList{QStringLiteral("Ошибка: Запрещенная частота")}
        << QList<int>() << Pokes{} << same;
    QTest::newRow("known band 3 cannot be encoded, silently")
        << same << Pokes{{29, 3}} << true << false << QStringList() << QList<int>() << Pokes{}
        << Mutation([](RS_CONF &c) { c.diapazon_code = 3; });
}

void TestImageCodec::encodeCases()
{
    QFETCH(Mutation, mutate);
    QFETCH(Pokes, basePokes);
    QFETCH(bool, confRead);
    QFETCH(bool, ok);
    QFETCH(QStringList, texts);
    QFETCH(QList<int>, pauses);
    QFETCH(Pokes, outBytes);
    QFETCH(Mutation, confAfter);
    ModelFixture fx(station_with_band3());
    RS_CONF conf = sample_conf_band1();
    mutate(conf);
    RS_CONF expected = conf;
    confAfter(expected);
    RS_EEPROM_IMAGE base = sample_base_image(1);
    poke(base, basePokes);
    const RS_EEPROM_IMAGE base_before = base;
    RS_EEPROM_IMAGE out;
    std::memset(&out, 0xEE, sizeof out);
    QCOMPARE(encode_image(fx.ctx(), conf, base, out, confRead), ok);
    QCOMPARE(fx.sink.texts(), texts);
    QCOMPARE(fx.sleeper.pauses, pauses);
    QCOMPARE(conf_diff(conf, expected), QString());
    QVERIFY(std::memcmp(&base, &base_before, sizeof base) == 0);
    for (const auto &b : outBytes)
        QVERIFY2(out.bytes[b.first] == b.second, qPrintable(QString::number(b.first)));
    for (int a = RS_IMAGE_SIZE; a < RS_IMAGE_BUFFER_SIZE; ++a)
        QCOMPARE(int(out.bytes[a]), 0);
}

void TestImageCodec::tuningBytes_data()
{
    QTest::addColumn<QList<TUN_POINT>>("points");
    QTest::addColumn<Pokes>("radioVolts");  // base bytes at the points' addresses
    QTest::addColumn<int>("f");             // receive frequency of channel 1
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("tuning");  // byte at 106; -1 = left as in the base
    const QList<TUN_POINT> shipped{
        {146000, 1.75f, 1, 114}, {160000, 2.4f, 1, 115}, {174000, 2.8f, 1, 116}};
    const Pokes volts{{114, 142}, {115, 194}, {116, 227}};
    QTest::newRow("on the first point") << shipped << volts << 146000 << true << 255 - 142;
    QTest::newRow("between two points") << shipped << volts << 153000 << true << 255 - 168;
    QTest::newRow("on the last point") << shipped << volts << 174000 << true << 255 - 227;
    QTest::newRow("the radio's own voltage wins")
        << shipped << Pokes{{114, 100}, {115, 194}, {116, 227}} << 146000 << true << 155;
    QTest::newRow("point without an address gives 0 V")
        << QList<TUN_POINT>{{146000, 1.75f, 1, 255}, {174000, 2.8f, 1, 116}} << volts << 146000
        << true << 255;
    const QList<TUN_POINT> inner{{150000, 1.8f, 1, 114}, {170000, 2.6f, 1, 115}};
    QTest::newRow("below the first point") << inner << volts << 146100 << true << 255;
    QTest::newRow("above the last point") << inner << volts << 173975 << true << 255;
    QTest::newRow("degenerate first segment")
        << QList<TUN_POINT>{{150000, 1.8f, 1, 114}, {150000, 2.0f, 1, 115}, {170000, 2.6f, 1, 116}}
        << volts << 150000 << true << 255;
    QTest::newRow("one point only: refused silently")
        << QList<TUN_POINT>{{150000, 1.8f, 1, 114}} << volts << 150000 << false << -1;
}

void TestImageCodec::tuningBytes()
{
    QFETCH(QList<TUN_POINT>, points);
    QFETCH(Pokes, radioVolts);
    QFETCH(int, f);
    QFETCH(bool, ok);
    QFETCH(int, tuning);
    STATION_CONFIG st = shipped_station();
    st.tun_count = 0;
    for (const TUN_POINT &p : points)
        st.tun[st.tun_count++] = p;
    ModelFixture fx(st);
    RS_CONF conf = sample_conf_band1();
    conf.f_prm[0] = f;
    RS_EEPROM_IMAGE base = sample_base_image(1);
    poke(base, radioVolts);
    RS_EEPROM_IMAGE out{};
    QCOMPARE(encode_image(fx.ctx(), conf, base, out, true), ok);
    QVERIFY(fx.sink.texts().isEmpty());
    if (tuning >= 0)
        QCOMPARE(int(out.bytes[106]), tuning);
}

void TestImageCodec::encodeOverItself()
{
    ModelFixture fx;
    RS_CONF a = sample_conf_band1();
    RS_CONF b = a;
    RS_EEPROM_IMAGE img = sample_base_image(1);
    RS_EEPROM_IMAGE out{};
    QVERIFY(encode_image(fx.ctx(), a, img, out, true));
    QVERIFY(encode_image(fx.ctx(), b, img, img, true));
    QVERIFY(std::memcmp(&img, &out, sizeof img) == 0);
}

QTEST_GUILESS_MAIN(TestImageCodec)
#include "tst_image_codec.moc"
