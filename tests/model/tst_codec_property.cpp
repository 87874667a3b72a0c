// Properties over thousands of random valid parameter sets on the shipped station: what the
// radio will hold survives a round trip, a second encoding is stable, factory data is never
// touched. Also: the fixture station equals the shipped file, and the sample images are what
// the encoder makes of the sample channel plans.

#include "frequency.h"
#include "image_codec.h"
#include "model_fixture.h"
#include "sample_image.h"
#include "station_tables.h"
#include "station_loader.h"
#include "validation.h"

#include <QtTest>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int SETS_PER_BAND = 4000;

// The receive tones do not always come back exactly (the detector's grid at f and at
// f / 1.008 differ, and the call tone decoding matches without the encoder's half count):
// these are the largest differences the arithmetic produces.
constexpr double CTCSS_PRM_DRIFT = 0.4 + 1e-9;
constexpr double VT_PRM_DRIFT = 10.0;

int pick(std::mt19937 &rng, int lo, int hi)
{
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}

int32_t random_frequency(std::mt19937 &rng, const STATION_CONFIG &st, uint8_t band, bool zapret)
{
    std::vector<const STATION_BAND *> rows;
    for (int i = 0; i < st.band_count; ++i)
        if (st.bands[i].id == band)
            rows.push_back(&st.bands[i]);
    for (;;) {
        const STATION_BAND &r = *rows[size_t(pick(rng, 0, int(rows.size()) - 1))];
        const int first = (r.freq_start + r.shag_setki - 1) / r.shag_setki;
        const int32_t f = pick(rng, first, r.freq_end / r.shag_setki) * r.shag_setki;
        if (!zapret || is_allowed_frequency(0x80, f))
            return f;
    }
}

RS_CONF random_conf(std::mt19937 &rng, const STATION_CONFIG &st, uint8_t band)
{
    RS_CONF c{};
    c.diapazon_code = band;
    c.zapret = uint8_t(pick(rng, 0, 1));
    for (int i = 0; i < RS_CHANNELS; ++i) {
        c.f_prm[i] = random_frequency(rng, st, band, c.zapret);
        c.f_prd[i] = pick(rng, 0, 3) ? random_frequency(rng, st, band, c.zapret) : c.f_prm[i];
        c.koder[i] = uint8_t(pick(rng, 0, 8));
        c.ph[i] = uint8_t(pick(rng, 0, 5));
    }
    c.n_rab_kanala = uint8_t(pick(rng, 1, 8));
    c.ctcss_prd = pick(rng, 650, 2600) * 0.1;
    do
        c.ctcss_prm = pick(rng, 650, 2600) * 0.1;
    while (ctcss_prm_quantize(c.ctcss_prm) < CTCSS_MIN
           || ctcss_prm_quantize(c.ctcss_prm) > CTCSS_MAX);
    c.vt_prd = pick(rng, 35, 215) * 10.0;
    c.vt_prm = pick(rng, 35, 215) * 10.0;
    c.microphone = pick(rng, 0, 1) ? 24 : 31;
    c.ur_gromk = uint8_t(pick(rng, 18, 26));
    return c;
}

RS_EEPROM_IMAGE random_base(std::mt19937 &rng, uint8_t band)
{
    RS_EEPROM_IMAGE img{};
    for (int a = 0; a < RS_IMAGE_SIZE; ++a)
        img.bytes[a] = uint8_t(pick(rng, 0, 255));
    img.bytes[ADDR_BAND_CODE] = band;
    return img;
}

QByteArray read_file(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TestCodecProperty : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void keptBitsSurviveRandomBase_data();
    void keptBitsSurviveRandomBase();
    void fixtureIsTheShippedFile();
    void sampleImages_data();
    void sampleImages();
};

void TestCodecProperty::roundTrip_data()
{
    QTest::addColumn<int>("band");
    QTest::newRow("band 1") << 1;
    QTest::newRow("band 2") << 2;
}

void TestCodecProperty::roundTrip()
{
    QFETCH(int, band);
    ModelFixture fx;
    std::mt19937 rng(20240611u + uint32_t(band));
    const RS_EEPROM_IMAGE base = sample_base_image(uint8_t(band));
    int exact = 0;
    for (int n = 0; n < SETS_PER_BAND; ++n) {
        const RS_CONF x = random_conf(rng, fx.station, uint8_t(band));
        RS_CONF xq = x;
        RS_EEPROM_IMAGE out{};
        QVERIFY(encode_image(fx.ctx(), xq, base, out, true));
        RS_CONF expected = x;
        expected.ctcss_prm = ctcss_prm_quantize(x.ctcss_prm);
        QCOMPARE(conf_diff(xq, expected), QString());

        RS_CONF d;
        QVERIFY(decode_image(fx.ctx(), out, d));
        QVERIFY2(std::fabs(d.ctcss_prm - expected.ctcss_prm) <= CTCSS_PRM_DRIFT,
                 qPrintable(QStringLiteral("%1 -> %2").arg(x.ctcss_prm).arg(d.ctcss_prm)));
        QVERIFY2(std::fabs(d.vt_prm - expected.vt_prm) <= VT_PRM_DRIFT,
                 qPrintable(QStringLiteral("%1 -> %2").arg(x.vt_prm).arg(d.vt_prm)));
        exact += d.ctcss_prm == expected.ctcss_prm && d.vt_prm == expected.vt_prm;
        RS_CONF same = d;
        same.ctcss_prm = expected.ctcss_prm;
        same.vt_prm = expected.vt_prm;
        QCOMPARE(conf_diff(same, expected), QString());
        QVERIFY(fx.sink.texts().isEmpty());

        // Encoding what was decoded gives the same image, except that a shifted receive
        // CTCSS tone may shift once more; repeated round trips settle within a few passes.
        // A receive call tone decoded above the limit is refused, as the form would refuse it.
        RS_CONF again = d;
        RS_EEPROM_IMAGE out2{};
        if (d.vt_prm > VT_MAX) {
            QVERIFY(!encode_image(fx.ctx(), again, out, out2, true));
            fx.clear();
            continue;
        }
        QVERIFY(encode_image(fx.ctx(), again, out, out2, true));
        for (int a = 0; a < RS_IMAGE_SIZE; ++a) {
            if (a == ADDR_CTCSS_PRM || a == ADDR_CTCSS_PRM + 1)
                continue;
            QVERIFY2(out.bytes[a] == out2.bytes[a], qPrintable(QString::number(a)));
        }
        int passes = 0;
        for (RS_EEPROM_IMAGE prev = out2;; prev = out2, ++passes) {
            QVERIFY2(passes < 5, qPrintable(QString::number(x.ctcss_prm)));
            QVERIFY(decode_image(fx.ctx(), prev, again));
            QVERIFY(encode_image(fx.ctx(), again, prev, out2, true));
            if (std::memcmp(&prev, &out2, sizeof prev) == 0)
                break;
        }
    }
    qInfo("%d of %d sets came back exactly", exact, SETS_PER_BAND);
    QVERIFY(exact > SETS_PER_BAND * 8 / 10);
}

void TestCodecProperty::keptBitsSurviveRandomBase_data() { roundTrip_data(); }

void TestCodecProperty::keptBitsSurviveRandomBase()
{
    QFETCH(int, band);
    ModelFixture fx;
    std::mt19937 rng(7u + uint32_t(band));
    for (int n = 0; n < SETS_PER_BAND; ++n) {
        RS_CONF x = random_conf(rng, fx.station, uint8_t(band));
        const RS_EEPROM_IMAGE base = random_base(rng, uint8_t(band));
        RS_EEPROM_IMAGE out;
        std::memset(&out, 0x5A, sizeof out);
        QVERIFY(encode_image(fx.ctx(), x, base, out, true));
        for (int a = 0; a < RS_IMAGE_SIZE; ++a) {
            const int changed = (out.bytes[a] ^ base.bytes[a]) & image_kept_mask(a);
            QVERIFY2(changed == 0, qPrintable(QString::number(a)));
        }
        for (int a = RS_IMAGE_SIZE; a < RS_IMAGE_BUFFER_SIZE; ++a)
            QCOMPARE(int(out.bytes[a]), 0);
    }
}

void TestCodecProperty::fixtureIsTheShippedFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString name = QString::fromLatin1(STATION_CONF_FILE_NAME);
    QVERIFY(QFile::copy(QStringLiteral(K40_SOURCE_DIR "/data/") + name, dir.filePath(name)));
    STATION_CONFIG loaded;
    std::memset(&loaded, 0, sizeof loaded);
    QVERIFY(read_station_conf_from_file(&loaded, dir.path().toStdString())
            == StationLoadResult::Loaded);
    const STATION_CONFIG fixture = shipped_station();
    compare_station_tables(loaded, fixture.bands, fixture.band_count, fixture.tun,
                           fixture.tun_count);
}

void TestCodecProperty::sampleImages_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("band");
    QTest::newRow("band 1") << QStringLiteral("sample.eep") << 1;
    QTest::newRow("band 2") << QStringLiteral("sample-band2.eep") << 2;
}

void TestCodecProperty::sampleImages()
{
    QFETCH(QString, file);
    QFETCH(int, band);
    const QByteArray bytes = read_file(QStringLiteral(K40_SOURCE_DIR "/data/") + file);
    QCOMPARE(bytes.size(), RS_IMAGE_SIZE);

    ModelFixture fx;
    RS_CONF plan = band == 1 ? sample_conf_band1() : sample_conf_band2();
    RS_EEPROM_IMAGE made{};
    QVERIFY(encode_image(fx.ctx(), plan, sample_base_image(uint8_t(band)), made, true));
    QVERIFY2(std::memcmp(made.bytes, bytes.constData(), RS_IMAGE_SIZE) == 0,
             "the sample image is stale: run k40_make_sample");

    RS_EEPROM_IMAGE img{};
    std::memcpy(img.bytes, bytes.constData(), RS_IMAGE_SIZE);
    RS_CONF conf;
    QVERIFY(decode_image(fx.ctx(), img, conf));
    QVERIFY(validate_conf(fx.ctx(), conf));
    plan.ctcss_prd = round_one_decimal(plan.ctcss_prd);  // as decoding represents it
    QCOMPARE(conf_diff(conf, plan), QString());
    QVERIFY(fx.sink.texts().isEmpty());
}

QTEST_GUILESS_MAIN(TestCodecProperty)
#include "tst_codec_property.moc"
