// The frequency text form, the digit-only editor and the band-aware frequency editor.

#include <QtTest>

#include "freq_edit.h"
#include "key_script.h"
#include "shipped_bands.h"

class TestFreqEdit : public QObject {
    Q_OBJECT

private slots:
    void format_data();
    void format();

    void float_edit_keys_data();
    void float_edit_keys();
    void float_edit_set_text_is_idempotent();

    void band_rows_data();
    void band_rows();
    void band_row_of_data();
    void band_row_of();

    void normalize_data();
    void normalize();

    void stepping_data();
    void stepping();
    void stepping_shows_what_is_kept_data();
    void stepping_shows_what_is_kept();
    void stepping_without_band_rows();
    void zero_grid_step_is_safe();
    void leaving_the_field_snaps();
};

void TestFreqEdit::format_data()
{
    QTest::addColumn<QString>("digits");
    QTest::addColumn<QString>("shown");
    QTest::newRow("six digits, blank leads") << "148000"
                                             << " 148.000";
    QTest::newRow("five digits") << "14800"
                                 << "14.800";
    QTest::newRow("seven digits") << "1234567"
                                  << "1 234.567";
    QTest::newRow("three digits, point leads") << "600"
                                               << ".600";
    QTest::newRow("one digit") << "0"
                               << "0";
    QTest::newRow("four digits") << "1234"
                                 << "1.234";
    QTest::newRow("nine digits") << "123456789"
                                 << " 123 456.789";
    QTest::newRow("empty") << ""
                           << "";
}

void TestFreqEdit::format()
{
    QFETCH(QString, digits);
    QFETCH(QString, shown);
    QCOMPARE(freq_text_format(digits), shown);
    QCOMPARE(freq_text_strip(shown), digits);
}

// Each row: text before, cursor before, keys, text after, cursor after.
void TestFreqEdit::float_edit_keys_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("cursor_after");

    QTest::newRow("digit into empty") << "" << 0 << "5"
                                      << "5" << 1;
    QTest::newRow("typing a frequency") << "" << 0 << "148000"
                                        << " 148.000" << 8;
    QTest::newRow("backspace skips the point") << " 148.000" << 5 << "Bsp"
                                               << "14.000" << 3;
    QTest::newRow("backspace plain digit") << "14.800" << 1 << "Bsp"
                                           << "4.800" << 0;
    QTest::newRow("backspace at start") << "14.800" << 0 << "Bsp"
                                        << "14.800" << 0;
    QTest::newRow("delete skips the point") << " 148.000" << 4 << "Del"
                                            << "14.800" << 4;
    QTest::newRow("delete first digit") << "14.800" << 0 << "Del"
                                        << "4.800" << 0;
    QTest::newRow("delete at end") << "14.800" << 6 << "Del"
                                   << "14.800" << 6;
    QTest::newRow("digit grows a group") << "14.800" << 0 << "9"
                                         << " 914.800" << 2;
    QTest::newRow("digit in the middle") << "14.800" << 1 << "9"
                                         << " 194.800" << 3;
    QTest::newRow("letters are ignored") << "14.800" << 2 << "ab+-"
                                         << "14.800" << 2;
    QTest::newRow("left and right move") << "14.800" << 6 << "Left Left Right"
                                         << "14.800" << 5;
    QTest::newRow("home and end move") << "14.800" << 3 << "Home"
                                       << "14.800" << 0;
}

void TestFreqEdit::float_edit_keys()
{
    QFETCH(QString, before);
    QFETCH(int, cursor);
    QFETCH(QString, keys);
    QFETCH(QString, after);
    QFETCH(int, cursor_after);

    FLOAT_LINE_EDIT ed;
    ed.QLineEdit::setText(before);
    ed.setCursorPosition(cursor);
    run_key_script(&ed, keys);
    QCOMPARE(ed.text(), after);
    QCOMPARE(ed.cursorPosition(), cursor_after);
}

void TestFreqEdit::float_edit_set_text_is_idempotent()
{
    FLOAT_LINE_EDIT ed;
    ed.setText("148600");
    QCOMPARE(ed.text(), QString(" 148.600"));
    QCOMPARE(ed.formatted_text(), QString(" 148.600"));
    ed.setText(ed.text());
    QCOMPARE(ed.text(), QString(" 148.600"));
}

void TestFreqEdit::band_rows_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("with_table");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("first_start");
    QTest::newRow("band 1") << 4 << true << 1 << 2 << 146000;
    QTest::newRow("band 2") << 4 << true << 2 << 2 << 33000;
    QTest::newRow("count limits the rows") << 3 << true << 2 << 1 << 33000;
    QTest::newRow("unknown band") << 4 << true << 3 << 0 << 0;
    QTest::newRow("code 100") << 4 << true << 100 << 0 << 0;
    QTest::newRow("no table") << 4 << false << 1 << 0 << 0;
}

void TestFreqEdit::band_rows()
{
    QFETCH(int, count);
    QFETCH(bool, with_table);
    QFETCH(int, code);
    QFETCH(int, rows);
    QFETCH(int, first_start);
    LineEditFreq ed;
    ed.set_band_rows(count, with_table ? k_shipped_bands : nullptr, uint8_t(code));
    QCOMPARE(ed.band_rows().size(), rows);
    if (rows > 0)
        QCOMPARE(ed.band_rows().first().freq_start, first_start);
}

void TestFreqEdit::band_row_of_data()
{
    QTest::addColumn<int>("v");
    QTest::addColumn<int>("row");
    QTest::newRow("first start") << 146000 << 0;
    QTest::newRow("first end") << 159975 << 0;
    QTest::newRow("gap between rows") << 159990 << -1;
    QTest::newRow("second start") << 160000 << 1;
    QTest::newRow("second end") << 174000 << 1;
    QTest::newRow("above") << 174001 << -1;
    QTest::newRow("zero") << 0 << -1;
}

void TestFreqEdit::band_row_of()
{
    QFETCH(int, v);
    QFETCH(int, row);
    LineEditFreq ed;
    ed.set_band_rows(4, k_shipped_bands, 1);
    QCOMPARE(ed.band_row_of(v), row);
}

void TestFreqEdit::normalize_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("zapret");
    QTest::addColumn<QString>("shown");
    QTest::newRow("empty becomes the band start") << "" << 1 << false << " 146.000";
    QTest::newRow("on grid stays") << "150025" << 1 << false << " 150.025";
    QTest::newRow("off grid rounds down") << "150026" << 1 << false << " 150.025";
    QTest::newRow("grouped text is read") << " 150.049" << 1 << false << " 150.025";
    QTest::newRow("rounded into the row") << "159990" << 1 << false << " 159.975";
    QTest::newRow("above the band") << "175000" << 1 << false << " 146.000";
    QTest::newRow("below the band") << "100000" << 1 << false << " 146.000";
    QTest::newRow("not a number") << "abc" << 1 << false << " 146.000";
    QTest::newRow("absurdly long") << "99999999999999999999" << 1 << false << " 146.000";
    QTest::newRow("forbidden allowed when off") << "148600" << 1 << false << " 148.600";
    QTest::newRow("forbidden refused when on") << "148600" << 1 << true << " 146.000";
    QTest::newRow("forbidden after rounding") << "171260" << 1 << true << " 146.000";
    QTest::newRow("allowed when on") << "148725" << 1 << true << " 148.725";
    QTest::newRow("band 2") << "40990" << 2 << false << "40.975";
    QTest::newRow("unknown band empties") << "148000" << 3 << false << "";
    QTest::newRow("code 100 empties") << "148000" << 100 << false << "";
}

void TestFreqEdit::normalize()
{
    QFETCH(QString, text);
    QFETCH(int, code);
    QFETCH(bool, zapret);
    QFETCH(QString, shown);
    LineEditFreq ed;
    ed.set_band_rows(4, k_shipped_bands, uint8_t(code));
    ed.set_flag_zapret(zapret);
    ed.QLineEdit::setText(text);
    ed.normalize_frequency();
    QCOMPARE(ed.text(), shown);
}

void TestFreqEdit::stepping_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("shown");

    QTest::newRow("plus one step") << 1 << "146000"
                                   << "+"
                                   << " 146.025";
    QTest::newRow("down is plus") << 1 << "146000"
                                  << "Down"
                                  << " 146.025";
    QTest::newRow("page down is plus") << 1 << "146000"
                                       << "PgDn"
                                       << " 146.025";
    QTest::newRow("plus from off grid") << 1 << "146010"
                                        << "+"
                                        << " 146.025";
    QTest::newRow("plus across a row") << 1 << "159975"
                                       << "+"
                                       << " 160.000";
    QTest::newRow("plus at the top stays") << 1 << "174000"
                                           << "+"
                                           << " 174.000";
    QTest::newRow("minus one step") << 1 << "150000"
                                    << "-"
                                    << " 149.975";
    QTest::newRow("up is minus") << 1 << "150000"
                                 << "Up"
                                 << " 149.975";
    QTest::newRow("page up is minus") << 1 << "150000"
                                      << "PgUp"
                                      << " 149.975";
    QTest::newRow("minus across a row") << 1 << "160000"
                                        << "-"
                                        << " 159.975";
    QTest::newRow("minus at the bottom stays") << 1 << "146000"
                                               << "-"
                                               << " 146.000";
    QTest::newRow("home to row start") << 1 << "165000"
                                       << "Home"
                                       << " 160.000";
    QTest::newRow("home at row start goes back") << 1 << "160000"
                                                 << "Home"
                                                 << " 146.000";
    QTest::newRow("home at first start stays") << 1 << "146000"
                                               << "Home"
                                               << " 146.000";
    QTest::newRow("end to row end") << 1 << "150000"
                                    << "End"
                                    << " 159.975";
    QTest::newRow("end at row end goes on") << 1 << "159975"
                                            << "End"
                                            << " 174.000";
    QTest::newRow("end at last end stays") << 1 << "174000"
                                           << "End"
                                           << " 174.000";
    QTest::newRow("out of band jumps to start") << 1 << "100000"
                                                << "End"
                                                << " 146.000";
    QTest::newRow("empty jumps to start") << 1 << ""
                                          << "+"
                                          << " 146.000";
    QTest::newRow("other key on out of band") << 1 << "1"
                                              << "Shift"
                                              << " 146.000";
    QTest::newRow("other key in band does nothing") << 1 << "150000"
                                                    << "Shift"
                                                    << " 150.000";
    QTest::newRow("band 2 across rows") << 2 << "40975"
                                        << "+"
                                        << "41.000";
    QTest::newRow("band 2 top") << 2 << "48500"
                                << "+ +"
                                << "48.500";
    QTest::newRow("digits still type") << 1 << "1460"
                                       << "00"
                                       << " 146.000";
}

void TestFreqEdit::stepping()
{
    QFETCH(int, code);
    QFETCH(QString, start);
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    LineEditFreq ed;
    ed.set_band_rows(4, k_shipped_bands, uint8_t(code));
    ed.setText(start);
    ed.setCursorPosition(ed.text().size());
    run_key_script(&ed, keys);
    QCOMPARE(ed.text(), shown);
}

void TestFreqEdit::stepping_shows_what_is_kept_data()
{
    QTest::addColumn<int>("table");  // 0: touching rows at 25 and 10 kHz; 1: an off-grid start
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("shown");

    QTest::newRow("plus onto the shared edge") << 0 << "156000"
                                               << "+"
                                               << " 156.020";
    QTest::newRow("plus on the finer grid") << 0 << "156020"
                                            << "+"
                                            << " 156.030";
    QTest::newRow("minus off the finer grid") << 0 << "156020"
                                              << "-"
                                              << " 156.000";
    QTest::newRow("minus from off grid") << 0 << "155990"
                                         << "-"
                                         << " 155.975";
    QTest::newRow("plus from off grid") << 0 << "155990"
                                        << "+"
                                        << " 156.000";
    QTest::newRow("home of the finer row") << 0 << "160000"
                                           << "Home"
                                           << " 156.020";
    QTest::newRow("end of the coarser row") << 0 << "150000"
                                            << "End"
                                            << " 156.000";
    QTest::newRow("end at the coarser end goes on") << 0 << "156000"
                                                    << "End"
                                                    << " 174.000";
    QTest::newRow("minus onto an off-grid start") << 1 << "146050"
                                                  << "- -"
                                                  << " 146.025";
    QTest::newRow("minus at the first kept stays") << 1 << "146025"
                                                   << "-"
                                                   << " 146.025";
    QTest::newRow("home onto an off-grid start") << 1 << "148000"
                                                 << "Home"
                                                 << " 146.025";
    QTest::newRow("out of band onto an off-grid start") << 1 << "1"
                                                        << "+"
                                                        << " 146.025";
}

// After every key the editor shows what committing stores.
void TestFreqEdit::stepping_shows_what_is_kept()
{
    QFETCH(int, table);
    QFETCH(QString, start);
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    static const STATION_BAND touching[2] = {{1, 146000, 156010, 0, 0, 0, 0, 25},
                                             {1, 156010, 174000, 0, 0, 0, 0, 10}};
    static const STATION_BAND off_grid[1] = {{1, 146005, 150000, 0, 0, 0, 0, 25}};
    LineEditFreq ed;
    ed.set_band_rows(table == 0 ? 2 : 1, table == 0 ? touching : off_grid, 1);
    ed.setText(start);
    ed.setCursorPosition(ed.text().size());
    run_key_script(&ed, keys);
    QCOMPARE(ed.text(), shown);
    ed.normalize_frequency();
    QCOMPARE(ed.text(), shown);
}

void TestFreqEdit::stepping_without_band_rows()
{
    LineEditFreq ed;
    ed.set_band_rows(4, k_shipped_bands, 3);
    ed.setText("148000");
    run_key_script(&ed, "+ - Home End");
    QCOMPARE(ed.text(), QString(" 148.000"));
}

// A band row with no grid step must neither divide by zero nor hang: it steps by 1 kHz.
void TestFreqEdit::zero_grid_step_is_safe()
{
    const STATION_BAND rows[1] = {{1, 146000, 146010, 0, 0, 0, 0, 0}};
    LineEditFreq ed;
    ed.set_band_rows(1, rows, 1);
    ed.setText("146003");
    ed.normalize_frequency();
    QCOMPARE(ed.text(), QString(" 146.003"));
    run_key_script(&ed, "+");
    QCOMPARE(ed.text(), QString(" 146.004"));
    run_key_script(&ed, "End +");
    QCOMPARE(ed.text(), QString(" 146.010"));
}

void TestFreqEdit::leaving_the_field_snaps()
{
    QWidget form;
    auto *ed = new LineEditFreq(&form);
    auto *other = new QLineEdit(&form);
    other->move(0, 40);
    ed->set_band_rows(4, k_shipped_bands, 1);
    form.show();
    QApplication::setActiveWindow(&form);
    ed->setFocus();
    QTRY_VERIFY(ed->hasFocus());
    run_key_script(ed, "150026");
    other->setFocus();
    QTRY_COMPARE(ed->text(), QString(" 150.025"));

    // Leaving again without typing still snaps a text set from outside.
    ed->QLineEdit::setText("1");
    ed->setFocus();
    QTRY_VERIFY(ed->hasFocus());
    other->setFocus();
    QTRY_COMPARE(ed->text(), QString(" 146.000"));
}

QTEST_MAIN(TestFreqEdit)
#include "tst_freq_edit.moc"
