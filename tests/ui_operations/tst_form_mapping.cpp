#include <QtTest>

#include "form_mapping.h"
#include "settings_report.h"

namespace {

RS_CONF sample_conf()
{
    RS_CONF c{};
    c.diapazon_code = 1;
    for (int i = 0; i < RS_CHANNELS; ++i) {
        c.f_prm[i] = 146000 + 1000 * i;
        c.f_prd[i] = 150000 + 1000 * i;
        c.koder[i] = static_cast<uint8_t>(i % 9);
        c.ph[i] = static_cast<uint8_t>(i % 6);
    }
    c.ph[0] = 5;  // channel R
    c.ctcss_prd = 88.5;
    c.ctcss_prm = 67.0;
    c.vt_prd = 1450;
    c.vt_prm = 2100;
    c.ur_gromk = 22;
    c.microphone = 24;
    c.n_rab_kanala = 3;
    c.zapret = 1;
    return c;
}

STATION_CONFIG station_with_bands()
{
    STATION_CONFIG st{};
    st.bands[0] = {1, 146000, 159975, -21400, 21400, 0, 0, 25};
    st.bands[1] = {2, 33000, 40975, -10700, 10700, 0, 0, 25};
    st.bands[2] = {1, 160000, 174000, -21400, 21400, 0, 0, 25};
    st.bands[3] = {3, 400000, 470000, 0, 0, 0, 0, 25};
    st.band_count = 4;
    return st;
}

FormTexts filled_form(bool ravno) { return form_texts_from_conf(sample_conf(), ravno); }

}  // namespace

class TestFormMapping : public QObject {
    Q_OBJECT
private slots:
    void texts_of_a_set();
    void round_trip_data();
    void round_trip();
    void unknown_texts_read_as_zero();
    void check_form_filled_data();
    void check_form_filled();
    void window_title_data();
    void window_title();
    void report_bytes_data();
    void report_bytes();
};

void TestFormMapping::texts_of_a_set()
{
    const FormTexts f = filled_form(false);
    QCOMPARE(f.cells[0][0], QStringLiteral(" 146.000"));
    QCOMPARE(f.cells[2][2], QStringLiteral("Ключ 2"));
    QCOMPARE(f.cells[0][2], QStringLiteral("Выключено"));
    QCOMPARE(f.cells[8][3], QStringLiteral("CTCSS"));   // channel R's level is element 0
    QCOMPARE(f.cells[0][3], QStringLiteral("Низкий"));  // channel 1 is element 1
    QCOMPARE(f.ctcss_prd, QStringLiteral("88.5"));
    QCOMPARE(f.ctcss_prm, QStringLiteral("67.0"));
    QCOMPARE(f.vt_prd, QStringLiteral("1450"));
    QCOMPARE(f.n_rab_kanala, QStringLiteral("3"));
    QVERIFY(f.zapret);

    const FormTexts r = filled_form(true);
    QCOMPARE(r.cells[2][1], QStringLiteral("Ключ 2"));
    QCOMPARE(r.cells[8][2], QStringLiteral("CTCSS"));
    QVERIFY(r.cells[0][3].isEmpty());
}

void TestFormMapping::round_trip_data()
{
    QTest::addColumn<bool>("ravno");
    QTest::newRow("four columns") << false;
    QTest::newRow("tx = rx") << true;
}

void TestFormMapping::round_trip()
{
    QFETCH(bool, ravno);
    const RS_CONF in = sample_conf();
    const RS_CONF out = read_form(form_texts_from_conf(in, ravno), 1, 1);
    for (int i = 0; i < RS_CHANNELS; ++i) {
        QCOMPARE(out.f_prm[i], in.f_prm[i]);
        QCOMPARE(out.f_prd[i], ravno ? in.f_prm[i] : in.f_prd[i]);
        QCOMPARE(out.koder[i], in.koder[i]);
        QCOMPARE(out.ph[i], in.ph[i]);
    }
    QCOMPARE(out.ctcss_prd, double(88.5f));
    QCOMPARE(out.ctcss_prm, double(67.0f));
    QCOMPARE(out.vt_prm, 2100.0);
    QCOMPARE(out.ur_gromk, in.ur_gromk);
    QCOMPARE(out.microphone, in.microphone);
    QCOMPARE(out.n_rab_kanala, in.n_rab_kanala);
    QCOMPARE(out.zapret, uint8_t(1));
    QCOMPARE(out.diapazon_code, uint8_t(1));
}

void TestFormMapping::unknown_texts_read_as_zero()
{
    FormTexts f = filled_form(false);
    f.cells[1][2] = QStringLiteral("Ключ 9");
    f.cells[1][3] = QStringLiteral("низкий");
    f.ctcss_prd = QStringLiteral("abc");
    f.ur_gromk = QStringLiteral("278");  // low 8 bits
    const RS_CONF c = read_form(f, 0, 2);
    QCOMPARE(c.koder[1], uint8_t(0));
    QCOMPARE(c.ph[2], uint8_t(0));
    QCOMPARE(c.ctcss_prd, 0.0);
    QCOMPARE(c.ur_gromk, uint8_t(22));
    QCOMPARE(c.zapret, uint8_t(0));
}

void TestFormMapping::check_form_filled_data()
{
    QTest::addColumn<bool>("ravno");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");  // -1: the working channel editor
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("filled");
    QTest::newRow("complete") << false << 0 << 0 << QStringLiteral(" 146.000") << true;
    QTest::newRow("frequency 0") << false << 4 << 0 << QStringLiteral("0") << false;
    QTest::newRow("frequency empty") << false << 8 << 0 << QString() << false;
    QTest::newRow("only blanks and points") << false << 3 << 0 << QStringLiteral(" . ") << false;
    QTest::newRow("transmit 0") << false << 2 << 1 << QStringLiteral("0") << false;
    QTest::newRow("squelch empty") << false << 2 << 3 << QString() << false;
    QTest::newRow("column 3 ignored in tx = rx") << true << 2 << 3 << QString() << true;
    QTest::newRow("key empty in tx = rx") << true << 5 << 1 << QString() << false;
    QTest::newRow("working channel 0") << false << 0 << -1 << QStringLiteral("0") << false;
    QTest::newRow("working channel 00") << false << 0 << -1 << QStringLiteral("00") << true;
}

void TestFormMapping::check_form_filled()
{
    QFETCH(bool, ravno);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(bool, filled);
    FormTexts f = filled_form(ravno);
    if (column < 0)
        f.n_rab_kanala = text;
    else
        f.cells[row][column] = text;
    QCOMPARE(::check_form_filled(f), filled);
}

void TestFormMapping::window_title_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("title");
    QTest::newRow("band 1")
        << 1 << QStringLiteral("Программатор Торвел-K40 [146000-159975 кГц] [160000-174000 кГц] ");
    QTest::newRow("band 2") << 2 << QStringLiteral("Программатор Торвел-K40.35 [33000-40975 кГц] ");
    QTest::newRow("known to the station, not a radio band")
        << 3 << QStringLiteral("Программатор Торвел-K40 [неизвестный частотный диапазон] ");
    QTest::newRow("unknown") << 0
                             << QStringLiteral(
                                    "Программатор Торвел-K40 [неизвестный частотный диапазон] ");
}

void TestFormMapping::window_title()
{
    QFETCH(int, code);
    QFETCH(QString, title);
    QCOMPARE(::window_title(station_with_bands(), static_cast<uint8_t>(code)), title);
}

void TestFormMapping::report_bytes_data()
{
    QTest::addColumn<bool>("ravno");
    QTest::newRow("four columns") << false;
    QTest::newRow("tx = rx") << true;
}

void TestFormMapping::report_bytes()
{
    QFETCH(bool, ravno);
    const QString head = QStringLiteral(
        "  <html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=cp1251\">"
        "<title>Настройки радиостанции Торвел-K40</title></head><body topmargin=\"5\" "
        "rightmargin=\"5\" leftmargin=\"5\" alink=\"Red\" bgcolor=\"#ffffff\" link=\"#005a99\" "
        "marginheight=\"5\" marginwidth=\"5\" text=\"#000000\" vlink=\"#3333cc\"><H3>Настройки "
        "радиостанции Торвел-K40</H3><p><b>Каналы</b><p><table hspace = 5 vspace = 5 "
        "cellspacing=1 border=1 style=\"width: 100 px;border: 1px solid rgb(96, 99, 104);\">"
        "<tr>  <td bgcolor=#f0f0F0 style=\"width: 100 px;border: 1px solid rgb(96, 99, 104);\">"
        "<center><b> &nbsp; № Канала &nbsp;</b></center></td>  <td bgcolor=#f0f0F0 "
        "style=\"width: 100 px;border: 1px solid rgb(96, 99, 104);\"><center><b> &nbsp; Частота "
        "&nbsp;<br>&nbsp; приема &nbsp; </b></center></td>  <td bgcolor=#f0f0F0 style=\"width: "
        "100 px;border: 1px solid rgb(96, 99, 104);\"><center><b> &nbsp; Частота &nbsp;<br>"
        "&nbsp; передачи &nbsp; </b></center></td>  <td bgcolor=#f0f0F0 style=\"width: 100 px;"
        "border: 1px solid rgb(96, 99, 104);\"><center><b> &nbsp; Маскиратор &nbsp; </b>"
        "</center></td>  <td bgcolor=#f0f0F0 style=\"width: 100 px;border: 1px solid rgb(96, 99,"
        " 104);\"><center><b> &nbsp; Уровень ПШ &nbsp; </b></center></td></tr>  ");
    const auto cell = [](const QString &v) {
        return QStringLiteral("  <td style=\"width: 100 px;border: 1px solid rgb(96, 99, 104);\">"
                              "<center> &nbsp;")
               + v + QStringLiteral("&nbsp; </center></td>");
    };
    const char *keys[] = {"Выключено", "Ключ 1", "Ключ 2", "Ключ 3", "Ключ 4",
                          "Ключ 5",    "Ключ 6", "Ключ 7", "Ключ 8"};
    const char *levels[] = {"Низкий",          "Высокий", "Низкий с CTCSS",
                            "Высокий с CTCSS", "CTCSS",   "Выключен",
                            "Низкий",          "Высокий", "CTCSS"};
    QString rows;
    for (int r = 0; r < 9; ++r) {
        const QString rx = QString::number(146000 + 1000 * r);
        const QString tx = ravno ? rx : QString::number(150000 + 1000 * r);
        rows += QStringLiteral("<tr>  ")
                + cell(r == 8 ? QStringLiteral("R") : QString::number(r + 1)) + cell(rx) + cell(tx)
                + cell(QString::fromUtf8(keys[r])) + cell(QString::fromUtf8(levels[r]))
                + QStringLiteral("</tr> ");
    }
    const QString tail = QStringLiteral(
        "</table></p><p> <b> Номер рабочего канала:  &nbsp;3</b>\n</p><p> <b> Частота "
        "вызывного CTCSS тона: &nbsp;ПРД: &nbsp; 88.5 Гц  &nbsp;&nbsp;  ПРМ: &nbsp; 67.0 Гц </b>"
        "\n</p><p> <b> Частота вызывного тона:&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;"
        "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp; ПРД: &nbsp; 1450 Гц  &nbsp;&nbsp;  ПРМ: &nbsp; "
        "2100 Гц </b>\n</p><p> <b> Уровень громкости: &nbsp;22 </b>\n</p><p> <b> "
        "Чувствительность микрофонного входа: &nbsp;24 </b>\n</p><p> <b> Запрещенные частоты: "
        "&nbsp; Есть  </b>\n</p></body></html>");
    QStringEncoder cp1251("windows-1251");
    const QByteArray expected = cp1251.encode(head + rows + tail);
    QCOMPARE(settings_report(filled_form(ravno)), expected);
}

QTEST_GUILESS_MAIN(TestFormMapping)
#include "tst_form_mapping.moc"
