// Rounding, synthesizer codes, tone codes and tuning voltages against the radio's numbers.

#include "frequency.h"
#include "shipped_station.h"

#include <QtTest>

#include <cmath>
#include <vector>

namespace {

// Two overlapping rows of band 5 with different grids, and a row that encodes below zero.
STATION_CONFIG overlap_station()
{
    STATION_CONFIG st = shipped_station();
    add_band(st, 5, 100000, 200000, 0, 0, 0, 0, 25);
    add_band(st, 5, 150000, 250000, 0, 0, 0, 0, 10);
    add_band(st, 6, 30000, 40000, -50000, 50000, 0, 0, 25);
    return st;
}

TUN_POINT pt(int32_t f, double u, uint8_t id = 1, uint8_t adr = 255) { return {f, u, id, adr}; }

}  // namespace

class TestFrequency : public QObject {
    Q_OBJECT
private slots:
    void rounding_data();
    void rounding();
    void freqToCode_data();
    void freqToCode();
    void codeToFreq_data();
    void codeToFreq();
    void ctcssPrd_data();
    void ctcssPrd();
    void ctcssPrm_data();
    void ctcssPrm();
    void ctcssPrmTone();
    void ctcssPrmValue_data();
    void ctcssPrmValue();
    void ctcssPrmValueSurvivesWriting();
    void callTones_data();
    void callTones();
    void nonsenseTonesGiveZero();
    void selectTunPoints_data();
    void selectTunPoints();
    void tuningVoltage_data();
    void tuningVoltage();
};

void TestFrequency::rounding_data()
{
    QTest::addColumn<int>("which");  // 0 half away, 1 one decimal, 2 tens
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("expected");
    QTest::newRow("half up") << 0 << 2.5 << 3.0;
    QTest::newRow("half away below zero") << 0 << -2.5 << -3.0;
    QTest::newRow("just below half") << 0 << 2.4999 << 2.0;
    QTest::newRow("zero") << 0 << 0.0 << 0.0;
    QTest::newRow("decimal down") << 1 << 88.53 << 88.5;
    QTest::newRow("decimal up") << 1 << 87.96 << 88.0;
    QTest::newRow("tens half up") << 2 << 1455.0 << 1460.0;
    QTest::newRow("tens truncates first") << 2 << 1454.9 << 1450.0;
    QTest::newRow("tens below half") << 2 << 1444.0 << 1440.0;
    QTest::newRow("tens negative") << 2 << -15.0 << -20.0;
}

void TestFrequency::rounding()
{
    QFETCH(int, which);
    QFETCH(double, x);
    QFETCH(double, expected);
    const double got = which == 0   ? round_half_away(x)
                       : which == 1 ? round_one_decimal(x)
                                    : round_to_tens(x);
    QCOMPARE(got, expected);
}

void TestFrequency::freqToCode_data()
{
    QTest::addColumn<int>("band");
    QTest::addColumn<bool>("prd");
    QTest::addColumn<int>("f");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("code");
    QTest::newRow("band 1 rx") << 1 << false << 150025 << true << 5145;
    QTest::newRow("band 1 tx") << 1 << true << 150025 << true << 6001;
    QTest::newRow("band 1 second row") << 1 << false << 174000 << true << 6104;
    QTest::newRow("band 2 rx lowest") << 2 << false << 33000 << true << 892;
    QTest::newRow("below band") << 1 << false << 145975 << false << 0;
    QTest::newRow("gap between rows") << 1 << false << 159990 << false << 0;
    QTest::newRow("other band's frequency") << 2 << false << 150025 << false << 0;
    QTest::newRow("unknown band") << 9 << false << 150025 << false << 0;
    QTest::newRow("overlap: first row's grid") << 5 << false << 160010 << true << 6400;
    QTest::newRow("overlap: second row only") << 5 << false << 200010 << true << 20001;
    QTest::newRow("negative code truncates toward zero, low 16 bits")
        << 6 << false << 30010 << true << 0xFCE1;
}

void TestFrequency::freqToCode()
{
    QFETCH(int, band);
    QFETCH(bool, prd);
    QFETCH(int, f);
    QFETCH(bool, ok);
    QFETCH(int, code);
    const STATION_CONFIG st = overlap_station();
    uint16_t got = 0;
    QCOMPARE(freq_to_code(st, uint8_t(band), prd ? FreqPath::prd : FreqPath::prm, f, got), ok);
    if (ok)
        QCOMPARE(int(got), code);
    QCOMPARE(freq_in_band(st, uint8_t(band), f), ok);
}

void TestFrequency::codeToFreq_data()
{
    QTest::addColumn<int>("band");
    QTest::addColumn<bool>("prd");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("f");
    QTest::newRow("band 1 rx") << 1 << false << 5145 << 150025;
    QTest::newRow("band 1 tx") << 1 << true << 6001 << 150025;
    QTest::newRow("band 2 rx") << 2 << false << 892 << 33000;
    QTest::newRow("lands in no row") << 1 << false << 0 << 0;
    QTest::newRow("lands below the band") << 1 << true << 5839 << 0;
    QTest::newRow("unknown band") << 9 << false << 5145 << 0;
    QTest::newRow("first row that holds it wins") << 5 << false << 6000 << 150000;
    QTest::newRow("later row when the first misses") << 5 << false << 24000 << 240000;
    QTest::newRow("code is unsigned") << 6 << false << 0xFCE0 << 0;
}

void TestFrequency::codeToFreq()
{
    QFETCH(int, band);
    QFETCH(bool, prd);
    QFETCH(int, code);
    QFETCH(int, f);
    const STATION_CONFIG st = overlap_station();
    QCOMPARE(code_to_freq(st, uint8_t(band), prd ? FreqPath::prd : FreqPath::prm, uint16_t(code)),
             f);
}

void TestFrequency::ctcssPrd_data()
{
    QTest::addColumn<double>("hz");
    QTest::addColumn<int>("code");
    QTest::addColumn<double>("decoded");  // after rounding to one decimal
    QTest::newRow("88.5") << 88.5 << 2071 << 88.5;
    QTest::newRow("65.0") << 65.0 << 1521 << 65.0;
    QTest::newRow("260.0") << 260.0 << 6085 << 260.0;
    QTest::newRow("67.0") << 67.0 << 1568 << 67.0;
}

void TestFrequency::ctcssPrd()
{
    QFETCH(double, hz);
    QFETCH(int, code);
    QFETCH(double, decoded);
    QCOMPARE(int(ctcss_prd_code(hz)), code);
    QCOMPARE(round_one_decimal(ctcss_prd_tone(uint16_t(code))), decoded);
}

void TestFrequency::ctcssPrm_data()
{
    QTest::addColumn<double>("hz");
    QTest::addColumn<int>("code");
    QTest::addColumn<double>("quantised");
    QTest::addColumn<int>("stored");      // code of the quantised tone / 1.008
    QTest::addColumn<double>("decoded");  // what decoding the stored code shows
    QTest::newRow("88.5") << 88.5 << 2757 << 88.5 << 2753 << 88.5;
    QTest::newRow("67.0") << 67.0 << 2061 << 66.9 << 2057 << 66.9;
    QTest::newRow("250.3") << 250.3 << 7811 << 250.2 << 7747 << 250.2;
    // The detector's grid at f and at f / 1.008 differ, so some tones come back shifted.
    QTest::newRow("100.0 shifts") << 100.0 << 3137 << 100.1 << 3080 << 100.3;
}

void TestFrequency::ctcssPrm()
{
    QFETCH(double, hz);
    QFETCH(int, code);
    QFETCH(double, quantised);
    QFETCH(int, stored);
    QFETCH(double, decoded);
    QCOMPARE(int(ctcss_prm_code(hz)), code);
    QCOMPARE(ctcss_prm_quantize(hz), round_one_decimal(quantised));
    QCOMPARE(int(ctcss_prm_code(ctcss_prm_quantize(hz) / CTCSS_PRM_CORRECTION)), stored);
    const double tone = ctcss_prm_tone(uint16_t(stored));
    QCOMPARE(ctcss_prm_quantize(round_one_decimal(tone * CTCSS_PRM_CORRECTION)),
             round_one_decimal(decoded));
}

void TestFrequency::ctcssPrmValue_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("written");
    QTest::newRow("88.5, its own code") << 2753 << 88.5 << 2753;
    QTest::newRow("100.1, a tenth below 100.3") << 3080 << 100.1 << 3080;
    // The plain reading (67.8, 75.5) would be written as another code that reads 67.7, 75.6.
    QTest::newRow("no tone writes 2112") << 2112 << 67.7 << 2063;
    QTest::newRow("no tone writes 2314") << 2314 << 75.6 << 2315;
    QTest::newRow("no tone at all") << 0 << 0.0 << -1;
}

void TestFrequency::ctcssPrmValue()
{
    QFETCH(int, stored);
    QFETCH(double, value);
    QFETCH(int, written);
    QCOMPARE(ctcss_prm_value(uint16_t(stored)), round_one_decimal(value));
    if (written >= 0)
        QCOMPARE(int(ctcss_prm_code(ctcss_prm_quantize(value) / CTCSS_PRM_CORRECTION)), written);
}

void TestFrequency::ctcssPrmValueSurvivesWriting()
{
    // Every code near one the encoder writes: what it reads as is written as a code that
    // reads the same.
    std::vector<bool> seen(0x10000);
    int checked = 0;
    for (int tenths = 650; tenths <= 2600; ++tenths) {
        const double tone = ctcss_prm_quantize(tenths / 10.0);
        const int code = ctcss_prm_code(tone / CTCSS_PRM_CORRECTION);
        for (int c = code - 1; c <= code + 1; ++c) {
            if (c < 0 || c > 0xFFFF || seen[size_t(c)])
                continue;
            seen[size_t(c)] = true;
            const double v = ctcss_prm_value(uint16_t(c));
            const uint16_t back = ctcss_prm_code(ctcss_prm_quantize(v) / CTCSS_PRM_CORRECTION);
            QVERIFY2(ctcss_prm_value(back) == v, qPrintable(QString::number(c)));
            ++checked;
        }
    }
    QVERIFY(checked > 700);
}

void TestFrequency::ctcssPrmTone()
{
    // 2753 is the code of every tone from 87.75 to 87.91 Hz: the mean of the two ends.
    QVERIFY(std::fabs(ctcss_prm_tone(2753) - 87.83) < 1e-9);
    QCOMPARE(int(ctcss_prm_code(87.75)), 2753);
    QCOMPARE(int(ctcss_prm_code(87.91)), 2753);
    QVERIFY(ctcss_prm_code(87.74) != 2753);
    QVERIFY(ctcss_prm_code(87.92) != 2753);
}

void TestFrequency::callTones_data()
{
    QTest::addColumn<double>("hz");
    QTest::addColumn<int>("txCode");
    QTest::addColumn<int>("timer");
    QTest::addColumn<int>("window");
    QTest::addColumn<double>("txDecoded");
    QTest::addColumn<double>("rxDecoded");
    QTest::newRow("1450") << 1450.0 << 5656 << 0xFF1C << 8 << 1450.0 << 1450.0;
    QTest::newRow("2100, window raised to 6") << 2100.0 << 8192 << 0xFF62 << 6 << 2100.0 << 2100.0;
    QTest::newRow("350, wide window") << 350.0 << 1365 << 0xFC80 << 138 << 350.0 << 350.0;
    // The receive decoding matches the count without the half the encoding adds.
    QTest::newRow("2150 comes back as 2160") << 2150.0 << 8387 << 0xFF66 << 6 << 2150.0 << 2160.0;
}

void TestFrequency::callTones()
{
    QFETCH(double, hz);
    QFETCH(int, txCode);
    QFETCH(int, timer);
    QFETCH(int, window);
    QFETCH(double, txDecoded);
    QFETCH(double, rxDecoded);
    QCOMPARE(int(vt_prd_code(hz)), txCode);
    QCOMPARE(int(vt_prm_timer(hz)), timer);
    QCOMPARE(int(vt_prm_window(hz)), window);
    QCOMPARE(vt_prd_tone(uint16_t(txCode)), txDecoded);
    QCOMPARE(vt_prm_tone(uint16_t(timer)), rxDecoded);
}

void TestFrequency::nonsenseTonesGiveZero()
{
    QCOMPARE(ctcss_prd_tone(0), 0.0);
    QCOMPARE(ctcss_prm_tone(0), 0.0);
    QCOMPARE(vt_prd_tone(0), 0.0);
    QCOMPARE(vt_prm_tone(0), 0.0);
    // Values the checks refuse must still convert without faulting.
    QCOMPARE(ctcss_prm_quantize(0.0), 0.0);
    QCOMPARE(ctcss_prm_quantize(1.0), 0.0);
    QCOMPARE(ctcss_prm_quantize(std::nan("")), 0.0);
    QCOMPARE(int(ctcss_prm_code(0.0)), 0);
    // Divisions by zero and overflowing casts: no undefined conversion (watch with UBSan).
    (void)vt_prm_window(25.0);
    (void)vt_prm_timer(-25.0);
    (void)ctcss_prd_code(1e300);
    (void)vt_prd_code(-1e300);
}

void TestFrequency::selectTunPoints_data()
{
    QTest::addColumn<int>("station");  // 0 shipped, 1 unsorted with duplicates, 2 empty tables
    QTest::addColumn<int>("band");
    QTest::addColumn<QList<int>>("adresses");  // selected points in order; -1 alone = failure
    QTest::newRow("shipped band 1") << 0 << 1 << QList<int>{114, 115, 116};
    QTest::newRow("shipped band 2") << 0 << 2 << QList<int>{117, 118, 119};
    QTest::newRow("unknown band fails") << 0 << 7 << QList<int>{-1};
    QTest::newRow("sorted, equal points keep order, out of range dropped")
        << 1 << 1 << QList<int>{10, 11, 12, 13, 14};
    QTest::newRow("band without points") << 1 << 2 << QList<int>{};
    QTest::newRow("no bands fails") << 2 << 1 << QList<int>{-1};
    QTest::newRow("no tuning points fails") << 3 << 1 << QList<int>{-1};
}

void TestFrequency::selectTunPoints()
{
    QFETCH(int, station);
    QFETCH(int, band);
    QFETCH(QList<int>, adresses);
    STATION_CONFIG st = shipped_station();
    if (station == 1) {
        st.tun_count = 0;
        add_tun(st, 170000, 2.7f, 1, 14);
        add_tun(st, 150000, 1.9f, 1, 11);
        add_tun(st, 145000, 1.0f, 1, 99);  // below the band
        add_tun(st, 146000, 1.7f, 1, 10);
        add_tun(st, 150000, 2.0f, 1, 12);
        add_tun(st, 150000, 2.1f, 2, 98);  // other band
        add_tun(st, 160000, 2.4f, 1, 13);
        add_tun(st, 174025, 3.0f, 1, 97);  // above the band
    } else if (station == 2) {
        st.band_count = 0;
    } else if (station == 3) {
        st.tun_count = 0;
    }
    TUN_POINT out[STATION_MAX_TUN];
    const int n = select_tun_points(st, uint8_t(band), out);
    QList<int> got;
    if (n < 0)
        got << -1;
    for (int i = 0; i < n; ++i)
        got << out[i].Adress;
    QCOMPARE(got, adresses);
}

void TestFrequency::tuningVoltage_data()
{
    QTest::addColumn<QList<int>>("freqs");
    QTest::addColumn<QList<double>>("volts");
    QTest::addColumn<int>("f");
    QTest::addColumn<double>("expected");
    const QList<int> f3{146000, 160000, 174000};
    const QList<double> u3{1.75, 2.4, 2.8};
    QTest::newRow("below the points") << f3 << u3 << 145975 << 0.0;
    QTest::newRow("above the points") << f3 << u3 << 174025 << 0.0;
    QTest::newRow("on the first point") << f3 << u3 << 146000 << 1.75;
    QTest::newRow("on the last point") << f3 << u3 << 174000 << 2.8;
    QTest::newRow("between") << f3 << u3 << 153000 << (1.75 + 2.4) / 2;
    QTest::newRow("shared point belongs to the first segment") << f3 << u3 << 160000 << 2.4;
    QTest::newRow("single point") << QList<int>{150000} << QList<double>{2.0} << 150000 << 0.0;
    QTest::newRow("degenerate first segment")
        << QList<int>{150000, 150000, 170000} << QList<double>{1.0, 2.0, 3.0} << 150000 << 0.0;
    QTest::newRow("degenerate segment after F does not matter")
        << QList<int>{140000, 150000, 150000, 170000} << QList<double>{1.0, 2.0, 3.0, 4.0} << 150000
        << 2.0;
}

void TestFrequency::tuningVoltage()
{
    QFETCH(QList<int>, freqs);
    QFETCH(QList<double>, volts);
    QFETCH(int, f);
    QFETCH(double, expected);
    std::vector<TUN_POINT> pts;
    for (int i = 0; i < freqs.size(); ++i)
        pts.push_back(pt(freqs[i], volts[i]));
    QCOMPARE(tuning_voltage(pts.data(), int(pts.size()), f), expected);
}

QTEST_GUILESS_MAIN(TestFrequency)
#include "tst_frequency.moc"
