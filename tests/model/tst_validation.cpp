// The frequency check, the check before encoding, the validation of a decoded set and the
// tuning-point check: verdicts, messages, their order and what gets cleared.

#include "model_fixture.h"
#include "sample_image.h"
#include "validation.h"

#include <QtTest>

#include <functional>

namespace {

using Mutation = std::function<void(RS_CONF &)>;

const QString OUT_OF_BAND = QStringLiteral(
    "Ошибка: Значение частоты находиться за границами допустимого интервала");
const QString OFF_GRID_25 = QStringLiteral("Ошибка: Частота не кратна 25 кГц");
const QString FORBIDDEN = QStringLiteral("Ошибка: Запрещенная частота");
const QString CTCSS_PRD_BAD = QStringLiteral(
    "Частота вызывного CTCSS тона (передача) не в допустимом интервале - Ошибка");
const QString CTCSS_PRM_BAD = QStringLiteral(
    "Частота вызывного CTCSS тона (прием) не в допустимом интервале - Ошибка");
const QString VT_BAD = QStringLiteral("Частота вызывного тона не в допустимом интервале - Ошибка");
const QString TUN_BAD = QStringLiteral("Ошибка: Проверте TUN точки 1 диапазона в конф. файле.");

// Shipped bands plus a band 3 on a 20 kHz grid (where forbidden frequencies fall off the grid)
// and two overlapping rows of band 4.
STATION_CONFIG check_station()
{
    STATION_CONFIG st = shipped_station();
    add_band(st, 3, 140000, 180000, 0, 0, 0, 0, 20);
    add_band(st, 4, 100000, 200000, 0, 0, 0, 0, 25);
    add_band(st, 4, 150000, 250000, 0, 0, 0, 0, 10);
    return st;
}

}  // namespace

Q_DECLARE_METATYPE(Mutation)

class TestValidation : public QObject {
    Q_OBJECT
private slots:
    void isAllowedFrequency_data();
    void isAllowedFrequency();
    void checkFrequency_data();
    void checkFrequency();
    void checkBeforeEncode_data();
    void checkBeforeEncode();
    void validateConf_data();
    void validateConf();
    void checkTunPoints_data();
    void checkTunPoints();
};

void TestValidation::isAllowedFrequency_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("f");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("flag off, forbidden frequency") << 0x00 << 148600 << true;
    QTest::newRow("flag on, first forbidden") << 0x80 << 148600 << false;
    QTest::newRow("flag on, last forbidden") << 0x80 << 171275 << false;
    QTest::newRow("flag on, neighbour") << 0x80 << 148725 << true;
    QTest::newRow("other bits are not the flag") << 0x7F << 148600 << true;
    QTest::newRow("flag among other bits") << 0xFF << 171225 << false;
}

void TestValidation::isAllowedFrequency()
{
    QFETCH(int, flags);
    QFETCH(int, f);
    QFETCH(bool, allowed);
    QCOMPARE(is_allowed_frequency(uint8_t(flags), f), allowed);
}

void TestValidation::checkFrequency_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("f");
    QTest::addColumn<int>("band");
    QTest::addColumn<QString>("message");  // empty = accepted
    QTest::newRow("on grid in band") << 0 << 150025 << 1 << QString();
    QTest::newRow("band edges") << 0 << 174000 << 1 << QString();
    QTest::newRow("forbidden, flag off") << 0 << 148600 << 1 << QString();
    QTest::newRow("forbidden, flag on") << 0x80 << 148600 << 1 << FORBIDDEN;
    QTest::newRow("off grid") << 0 << 150010 << 1 << OFF_GRID_25;
    QTest::newRow("grid is tested before the forbidden list")
        << 0x80 << 148625 << 3 << QStringLiteral("Ошибка: Частота не кратна 20 кГц");
    QTest::newRow("not set") << 0 << 0 << 1 << OUT_OF_BAND;
    QTest::newRow("below band") << 0 << 145975 << 1 << OUT_OF_BAND;
    QTest::newRow("gap between rows") << 0 << 159990 << 1 << OUT_OF_BAND;
    QTest::newRow("other band") << 0 << 150025 << 2 << OUT_OF_BAND;
    QTest::newRow("overlap: first row decides the grid") << 0 << 150010 << 4 << OFF_GRID_25;
    QTest::newRow("overlap: second row beyond the first") << 0 << 200010 << 4 << QString();
}

void TestValidation::checkFrequency()
{
    QFETCH(int, flags);
    QFETCH(int, f);
    QFETCH(int, band);
    QFETCH(QString, message);
    ModelFixture fx(check_station());
    QCOMPARE(check_frequency(fx.ctx(), uint8_t(flags), f, uint8_t(band)), message.isEmpty());
    QCOMPARE(fx.sink.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QVERIFY(fx.sleeper.pauses.isEmpty());
}

void TestValidation::checkBeforeEncode_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<Mutation>("mutate");
    QTest::addColumn<QString>("message");  // empty = may be encoded
    QTest::newRow("sample set") << 0 << Mutation([](RS_CONF &) {}) << QString();
    QTest::newRow("receive R before transmit 1") << 0 << Mutation([](RS_CONF &c) {
        c.f_prm[RS_CHANNEL_R] = 146110;
        c.f_prd[0] = 0;
    }) << OFF_GRID_25;
    QTest::newRow("receive 1 before receive R") << 0 << Mutation([](RS_CONF &c) {
        c.f_prm[0] = 0;
        c.f_prm[RS_CHANNEL_R] = 146110;
    }) << OUT_OF_BAND;
    QTest::newRow("transmit R") << 0 << Mutation([](RS_CONF &c) { c.f_prd[RS_CHANNEL_R] = 0; })
                                << OUT_OF_BAND;
    QTest::newRow("forbidden with flag")
        << 0x80 << Mutation([](RS_CONF &c) { c.f_prd[3] = 171250; }) << FORBIDDEN;
    QTest::newRow("forbidden, flag in set but not in flags") << 0 << Mutation([](RS_CONF &c) {
        c.f_prd[3] = 171250;
        c.zapret = 1;
    }) << QString();
    QTest::newRow("frequency before tones") << 0 << Mutation([](RS_CONF &c) {
        c.f_prd[8] = 1;
        c.ctcss_prd = 0;
    }) << OUT_OF_BAND;
    QTest::newRow("ctcss tx 65.0 and 260.0") << 0 << Mutation([](RS_CONF &c) {
        c.ctcss_prd = 65.0;
        c.ctcss_prm = 260.0;
    }) << QString();
    QTest::newRow("ctcss tx 64.9")
        << 0 << Mutation([](RS_CONF &c) { c.ctcss_prd = 64.9; }) << CTCSS_PRD_BAD;
    QTest::newRow("ctcss tx 260.1")
        << 0 << Mutation([](RS_CONF &c) { c.ctcss_prd = 260.1; }) << CTCSS_PRD_BAD;
    QTest::newRow("ctcss rx 64.9")
        << 0 << Mutation([](RS_CONF &c) { c.ctcss_prm = 64.9; }) << CTCSS_PRM_BAD;
    QTest::newRow("tx tone before rx tone") << 0 << Mutation([](RS_CONF &c) {
        c.ctcss_prm = 0;
        c.ctcss_prd = 300;
    }) << CTCSS_PRD_BAD;
    QTest::newRow("call tones at their limits") << 0 << Mutation([](RS_CONF &c) {
        c.vt_prd = 350;
        c.vt_prm = 2150;
    }) << QString();
    QTest::newRow("call tone tx 340")
        << 0 << Mutation([](RS_CONF &c) { c.vt_prd = 340; }) << VT_BAD;
    QTest::newRow("call tone rx 2160")
        << 0 << Mutation([](RS_CONF &c) { c.vt_prm = 2160; }) << VT_BAD;
    QTest::newRow("ctcss before call tone") << 0 << Mutation([](RS_CONF &c) {
        c.vt_prd = 0;
        c.ctcss_prm = 0;
    }) << CTCSS_PRM_BAD;
    QTest::newRow("channel, keys, squelch, levels are left to validation")
        << 0 << Mutation([](RS_CONF &c) {
               c.n_rab_kanala = 0;
               c.koder[0] = 200;
               c.ph[0] = 200;
               c.microphone = 25;
               c.ur_gromk = 0;
           })
        << QString();
}

void TestValidation::checkBeforeEncode()
{
    QFETCH(int, flags);
    QFETCH(Mutation, mutate);
    QFETCH(QString, message);
    ModelFixture fx;
    RS_CONF conf = sample_conf_band1();
    mutate(conf);
    const RS_CONF before = conf;
    QCOMPARE(check_conf_before_encode(fx.ctx(), conf, uint8_t(flags)), !message.isEmpty());
    QCOMPARE(fx.sink.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QVERIFY(fx.sleeper.pauses.isEmpty());
    QCOMPARE(conf_diff(conf, before), QString());
}

void TestValidation::validateConf_data()
{
    QTest::addColumn<Mutation>("mutate");
    QTest::addColumn<Mutation>("expect");  // applied to the mutated set: what must come out
    QTest::addColumn<QStringList>("messages");
    const Mutation same = [](RS_CONF &) {};
    QTest::newRow("sample set") << same << same << QStringList();
    QTest::newRow("frequencies cleared, all checked, in order") << Mutation([](RS_CONF &c) {
        c.f_prd[RS_CHANNEL_R] = 148610;
        c.f_prm[2] = 0;
        c.f_prm[RS_CHANNEL_R] = 180000;
    }) << Mutation([](RS_CONF &c) {
        c.f_prd[RS_CHANNEL_R] = 0;
        c.f_prm[2] = 0;
        c.f_prm[RS_CHANNEL_R] = 0;
    }) << QStringList{OUT_OF_BAND, OUT_OF_BAND, OFF_GRID_25};
    QTest::newRow("forbidden while zapret is set") << Mutation([](RS_CONF &c) {
        c.zapret = 1;
        c.f_prm[0] = 148600;
    }) << Mutation([](RS_CONF &c) { c.f_prm[0] = 0; })
                                                   << QStringList{FORBIDDEN};
    QTest::newRow("forbidden allowed without zapret")
        << Mutation([](RS_CONF &c) { c.f_prm[0] = 148600; }) << same << QStringList();
    QTest::newRow("microphone 25 refused")
        << Mutation([](RS_CONF &c) { c.microphone = 25; })
        << Mutation([](RS_CONF &c) { c.microphone = 0; }) << QStringList();
    QTest::newRow("microphone 31 kept")
        << Mutation([](RS_CONF &c) { c.microphone = 31; }) << same << QStringList();
    QTest::newRow("microphone judged by its low five bits")
        << Mutation([](RS_CONF &c) { c.microphone = 0x38; }) << same << QStringList();
    QTest::newRow("volume limits kept")
        << Mutation([](RS_CONF &c) { c.ur_gromk = 18; }) << same << QStringList();
    QTest::newRow("volume 17 refused")
        << Mutation([](RS_CONF &c) { c.ur_gromk = 17; })
        << Mutation([](RS_CONF &c) { c.ur_gromk = 0; }) << QStringList();
    QTest::newRow("volume 27 refused")
        << Mutation([](RS_CONF &c) { c.ur_gromk = 27; })
        << Mutation([](RS_CONF &c) { c.ur_gromk = 0; }) << QStringList();
    QTest::newRow("volume 26 kept")
        << Mutation([](RS_CONF &c) { c.ur_gromk = 26; }) << same << QStringList();
    QTest::newRow("working channel 0 and 9")
        << Mutation([](RS_CONF &c) { c.n_rab_kanala = 9; })
        << Mutation([](RS_CONF &c) { c.n_rab_kanala = 0; }) << QStringList();
    QTest::newRow("working channel 8 kept")
        << Mutation([](RS_CONF &c) { c.n_rab_kanala = 8; }) << same << QStringList();
    QTest::newRow("squelch 6..8 pass, 9 does not") << Mutation([](RS_CONF &c) {
        c.ph[0] = 6;
        c.ph[4] = 8;
        c.ph[8] = 9;
        c.koder[8] = 8;
        c.koder[0] = 9;
    }) << Mutation([](RS_CONF &c) {
        c.ph[8] = 0;
        c.koder[0] = 0;
    }) << QStringList();
    QTest::newRow("tones at their limits") << Mutation([](RS_CONF &c) {
        c.ctcss_prd = 65.0;
        c.ctcss_prm = 260.0;
        c.vt_prd = 350;
        c.vt_prm = 2150;
    }) << same << QStringList();
    QTest::newRow("tones just outside") << Mutation([](RS_CONF &c) {
        c.ctcss_prd = 64.9;
        c.ctcss_prm = 260.1;
        c.vt_prd = 340;
        c.vt_prm = 2160;
    }) << Mutation([](RS_CONF &c) {
        c.ctcss_prd = 0;
        c.ctcss_prm = 0;
        c.vt_prd = 0;
        c.vt_prm = 0;
    }) << QStringList();
}

void TestValidation::validateConf()
{
    QFETCH(Mutation, mutate);
    QFETCH(Mutation, expect);
    QFETCH(QStringList, messages);
    ModelFixture fx;
    RS_CONF conf = sample_conf_band1();
    mutate(conf);
    RS_CONF expected = conf;
    expect(expected);
    const bool unchanged = conf_diff(conf, expected).isEmpty();
    QCOMPARE(validate_conf(fx.ctx(), conf), unchanged);
    QCOMPARE(conf_diff(conf, expected), QString());
    QCOMPARE(fx.sink.texts(), messages);
    QVERIFY(fx.sleeper.pauses.isEmpty());
}

void TestValidation::checkTunPoints_data()
{
    // The station keeps its first tunCount points: three of band 1, then three of band 2.
    QTest::addColumn<int>("tunCount");
    QTest::addColumn<int>("band");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("reported");
    QTest::newRow("band 1, shipped") << 6 << 1 << true << false;
    QTest::newRow("band 2, shipped") << 6 << 2 << true << false;
    QTest::newRow("band 1, two points") << 2 << 1 << true << false;
    QTest::newRow("band 1, one point") << 1 << 1 << false << true;
    QTest::newRow("band 2 without points, same text") << 3 << 2 << false << true;
    QTest::newRow("band 3 is never tuned, silently") << 6 << 3 << false << false;
    QTest::newRow("band 0 silently") << 6 << 0 << false << false;
}

void TestValidation::checkTunPoints()
{
    QFETCH(int, tunCount);
    QFETCH(int, band);
    QFETCH(bool, ok);
    QFETCH(bool, reported);
    STATION_CONFIG st = check_station();
    st.tun_count = tunCount;
    ModelFixture fx(st);
    QCOMPARE(check_tun_points(fx.ctx(), uint8_t(band)), ok);
    if (reported)
        QVERIFY2(was_reported(fx, TUN_BAD), qPrintable(fx.sink.texts().join('|')));
    else
        QVERIFY(fx.sink.texts().isEmpty() && fx.sleeper.pauses.isEmpty());
}

QTEST_GUILESS_MAIN(TestValidation)
#include "tst_validation.moc"
