// The combo boxes and the two delegates of the channel table.

#include <QPointer>
#include <QStandardItemModel>
#include <QTableWidget>
#include <QtTest>

#include "freq_edit.h"
#include "key_script.h"
#include "shipped_bands.h"
#include "table_delegates.h"

namespace {

// A model with five columns, so "any other column" exists in both modes.
struct Fixture {
    QWidget parent;
    QStandardItemModel model{9, 5};
    QStyleOptionViewItem option;

    QModelIndex index(int column) { return model.index(0, column); }
};

}  // namespace

class TestTableDelegates : public QObject {
    Q_OBJECT

private slots:
    void combo_items();
    void editor_per_column_data();
    void editor_per_column();
    void frequency_editor_gets_band_and_zapret();
    void combo_loading_data();
    void combo_loading();
    void combo_storing_unknown_text();
    void frequency_storing_data();
    void frequency_storing();
    void pick_commits_before_close();
    void typing_and_enter_commit_a_snapped_frequency();
    void touching_rows_and_off_grid_starts_data();
    void touching_rows_and_off_grid_starts();
};

void TestTableDelegates::combo_items()
{
    ComboBoxPH ph;
    QCOMPARE(ph.count(), 6);
    QCOMPARE(ph.currentIndex(), 0);
    QCOMPARE(ph.itemText(0), QStringLiteral("Выключен"));
    QCOMPARE(ph.itemText(3), QStringLiteral("Низкий с CTCSS"));
    QCOMPARE(ph.itemText(5), QStringLiteral("CTCSS"));
    ComboBoxKoder koder;
    QCOMPARE(koder.count(), 9);
    QCOMPARE(koder.currentIndex(), 0);
    QCOMPARE(koder.itemText(0), QStringLiteral("Выключено"));
    QCOMPARE(koder.itemText(8), QStringLiteral("Ключ 8"));
}

void TestTableDelegates::editor_per_column_data()
{
    QTest::addColumn<bool>("ravno");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("editor_class");
    QTest::newRow("normal 0") << false << 0 << "LineEditFreq";
    QTest::newRow("normal 1") << false << 1 << "LineEditFreq";
    QTest::newRow("normal 2") << false << 2 << "ComboBoxKoder";
    QTest::newRow("normal 3") << false << 3 << "ComboBoxPH";
    QTest::newRow("normal other") << false << 4 << "standard";
    QTest::newRow("ravno 0") << true << 0 << "LineEditFreq";
    QTest::newRow("ravno 1") << true << 1 << "ComboBoxKoder";
    QTest::newRow("ravno 2") << true << 2 << "ComboBoxPH";
    QTest::newRow("ravno other") << true << 3 << "standard";
}

void TestTableDelegates::editor_per_column()
{
    QFETCH(bool, ravno);
    QFETCH(int, column);
    QFETCH(QString, editor_class);
    Fixture f;
    QScopedPointer<ChannelDelegateBase> d;
    if (ravno)
        d.reset(new ComboBoxDelegate_ravno(nullptr, 4, k_shipped_bands, 1, 0));
    else
        d.reset(new ComboBoxDelegate(nullptr, 4, k_shipped_bands, 1, 0));
    QWidget *editor = d->createEditor(&f.parent, f.option, f.index(column));
    QVERIFY(editor);
    QCOMPARE(editor->parentWidget(), &f.parent);
    const QString cls = editor->metaObject()->className();
    if (editor_class == "standard")
        QVERIFY(cls != "LineEditFreq" && cls != "ComboBoxKoder" && cls != "ComboBoxPH");
    else
        QCOMPARE(cls, editor_class);
}

void TestTableDelegates::frequency_editor_gets_band_and_zapret()
{
    Fixture f;
    ComboBoxDelegate on(nullptr, 4, k_shipped_bands, 2, 1);
    auto *ed = qobject_cast<LineEditFreq *>(on.createEditor(&f.parent, f.option, f.index(1)));
    QVERIFY(ed);
    QCOMPARE(ed->band_rows().size(), 2);
    QCOMPARE(ed->band_rows().first().freq_start, 33000);
    QCOMPARE(ed->flag_zapret(), uint8_t(1));
    ComboBoxDelegate_ravno off(nullptr, 4, k_shipped_bands, 1, 0);
    ed = qobject_cast<LineEditFreq *>(off.createEditor(&f.parent, f.option, f.index(0)));
    QVERIFY(ed);
    QCOMPARE(ed->flag_zapret(), uint8_t(0));
}

void TestTableDelegates::combo_loading_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("cell");
    QTest::addColumn<int>("index");
    QTest::newRow("known key") << 2 << QStringLiteral("Ключ 5") << 5;
    QTest::newRow("unknown key") << 2 << QStringLiteral("Ключ 9") << 0;
    QTest::newRow("empty key") << 2 << QString() << 0;
    QTest::newRow("known level") << 3 << QStringLiteral("Высокий с CTCSS") << 4;
    QTest::newRow("level in another case") << 3 << QStringLiteral("ctcss") << 0;
}

void TestTableDelegates::combo_loading()
{
    QFETCH(int, column);
    QFETCH(QString, cell);
    QFETCH(int, index);
    Fixture f;
    ComboBoxDelegate d(nullptr, 4, k_shipped_bands, 1, 0);
    f.model.setData(f.index(column), cell);
    auto *combo = qobject_cast<QComboBox *>(d.createEditor(&f.parent, f.option, f.index(column)));
    QVERIFY(combo);
    combo->setCurrentIndex(2);
    d.setEditorData(combo, f.index(column));
    QCOMPARE(combo->currentIndex(), index);
}

// The lists are not editable, but a text that is not an item must never reach the cell.
void TestTableDelegates::combo_storing_unknown_text()
{
    Fixture f;
    ComboBoxDelegate_ravno d(nullptr, 4, k_shipped_bands, 1, 0);
    for (int column : {1, 2}) {
        auto *combo = qobject_cast<QComboBox *>(
            d.createEditor(&f.parent, f.option, f.index(column)));
        combo->setEditable(true);
        combo->setEditText("junk");
        d.setModelData(combo, &f.model, f.index(column));
        QCOMPARE(f.model.data(f.index(column)).toString(),
                 column == 1 ? QStringLiteral("Выключено") : QStringLiteral("Выключен"));
    }
}

void TestTableDelegates::frequency_storing_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("zapret");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("empty stores the band start") << 1 << 0 << ""
                                                 << " 146.000";
    QTest::newRow("off grid rounds down") << 1 << 0 << "148001"
                                          << " 148.000";
    QTest::newRow("forbidden with zapret") << 1 << 1 << "148625"
                                           << " 146.000";
    QTest::newRow("forbidden without zapret") << 1 << 0 << "148625"
                                              << " 148.625";
    QTest::newRow("band 2 start") << 2 << 0 << ""
                                  << "33.000";
    QTest::newRow("no band rows store empty") << 100 << 0 << "148000"
                                              << "";
}

void TestTableDelegates::frequency_storing()
{
    QFETCH(int, code);
    QFETCH(int, zapret);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    Fixture f;
    ComboBoxDelegate d(nullptr, 4, k_shipped_bands, uint8_t(code), uint8_t(zapret));
    f.model.setData(f.index(0), QStringLiteral(" 150.000"));
    QWidget *editor = d.createEditor(&f.parent, f.option, f.index(0));
    d.setEditorData(editor, f.index(0));
    QCOMPARE(static_cast<QLineEdit *>(editor)->text(), QStringLiteral(" 150.000"));
    static_cast<QLineEdit *>(editor)->setText(typed);
    d.setModelData(editor, &f.model, f.index(0));
    QCOMPARE(f.model.data(f.index(0)).toString(), stored);
}

void TestTableDelegates::pick_commits_before_close()
{
    QTableWidget table(9, 4);
    ComboBoxDelegate d(&table, 4, k_shipped_bands, 1, 0);
    table.setItemDelegate(&d);
    for (int r = 0; r < 9; ++r)
        for (int c = 0; c < 4; ++c)
            table.setItem(r, c, new QTableWidgetItem);
    table.item(2, 2)->setText(QStringLiteral("Ключ 2"));
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));

    table.setCurrentCell(2, 2);
    table.editItem(table.item(2, 2));
    QPointer<ComboBoxKoder> combo = table.viewport()->findChild<ComboBoxKoder *>();
    QVERIFY(combo);
    QCOMPARE(combo->currentText(), QStringLiteral("Ключ 2"));
    QTest::keyClick(combo, Qt::Key_Down);  // picks the next item, as a person would
    QCOMPARE(table.item(2, 2)->text(), QStringLiteral("Ключ 3"));
    QVERIFY(combo);
    QVERIFY(combo->isVisible());
}

void TestTableDelegates::typing_and_enter_commit_a_snapped_frequency()
{
    QTableWidget table(9, 3);
    ComboBoxDelegate_ravno d(&table, 4, k_shipped_bands, 1, 1);
    table.setItemDelegate(&d);
    for (int r = 0; r < 9; ++r)
        for (int c = 0; c < 3; ++c)
            table.setItem(r, c, new QTableWidgetItem);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));

    table.setCurrentCell(4, 0);
    table.editItem(table.item(4, 0));
    QPointer<LineEditFreq> ed = table.viewport()->findChild<LineEditFreq *>();
    QVERIFY(ed);
    QTest::keyClicks(ed, "148001");
    QCOMPARE(ed->text(), QString(" 148.001"));
    QTest::keyClick(ed, Qt::Key_Return);
    QTRY_COMPARE(table.item(4, 0)->text(), QString(" 148.000"));
    QTRY_VERIFY(!ed);

    table.editItem(table.item(5, 0));
    ed = table.viewport()->findChild<LineEditFreq *>();
    QVERIFY(ed);
    QTest::keyClicks(ed, "148700");  // forbidden while the delegate's zapret flag is on
    QTest::keyClick(ed, Qt::Key_Enter);
    QTRY_COMPARE(table.item(5, 0)->text(), QString(" 146.000"));
}

// Band 1 splits at 156000 into rows that touch and step differently; band 3 has a row that
// starts off its grid and a gap before the next one.
static const STATION_BAND k_split_bands[5] = {
    {1, 146000, 156000, 0, 0, 0, 0, 25}, {1, 156000, 174000, 0, 0, 0, 0, 10},
    {3, 33005, 40000, 0, 0, 0, 0, 10},   {3, 41000, 48500, 0, 0, 0, 0, 25},
    {2, 400000, 401000, 0, 0, 0, 0, 25},
};

void TestTableDelegates::touching_rows_and_off_grid_starts_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("keys");    // typed into the open editor, Enter follows
    QTest::addColumn<QString>("stored");  // the cell after the commit

    QTest::newRow("plus leaves the shared edge") << 1 << "156000 +"
                                                 << " 156.010";
    QTest::newRow("plus twice from the edge") << 1 << "156000 + +"
                                              << " 156.020";
    QTest::newRow("minus onto the edge") << 1 << "156010 -"
                                         << " 156.000";
    QTest::newRow("minus below the edge") << 1 << "156000 -"
                                          << " 155.975";
    QTest::newRow("plus below the edge") << 1 << "155975 +"
                                         << " 156.000";
    QTest::newRow("second row keeps its own grid") << 1 << "160000 +"
                                                   << " 160.010";
    QTest::newRow("typed on the second row's grid") << 1 << "160010"
                                                    << " 160.010";
    QTest::newRow("typed off the second row's grid") << 1 << "160017"
                                                     << " 160.010";
    QTest::newRow("first row rounds to 25") << 1 << "150010"
                                            << " 150.000";
    QTest::newRow("just above the edge") << 1 << "156004"
                                         << " 156.000";
    QTest::newRow("above the band") << 1 << "174005"
                                    << " 146.000";
    QTest::newRow("end of the split band") << 1 << "150000 End End"
                                           << " 174.000";
    QTest::newRow("empty, start off its grid") << 3 << ""
                                               << "33.010";
    QTest::newRow("out of band, start off its grid") << 3 << "1"
                                                     << "33.010";
    QTest::newRow("below the first grid point") << 3 << "33007"
                                                << "33.010";
    QTest::newRow("the off-grid start steps up") << 3 << "33005 +"
                                                 << "33.010";
    QTest::newRow("a gap is out of band") << 3 << "40500"
                                          << "33.010";
}

// Through the table, as a technician edits: open the cell, type, press Enter.
void TestTableDelegates::touching_rows_and_off_grid_starts()
{
    QFETCH(int, code);
    QFETCH(QString, keys);
    QFETCH(QString, stored);
    QTableWidget table(9, 4);
    ComboBoxDelegate d(&table, 5, k_split_bands, uint8_t(code), 0);
    table.setItemDelegate(&d);
    for (int r = 0; r < 9; ++r)
        for (int c = 0; c < 4; ++c)
            table.setItem(r, c, new QTableWidgetItem);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));

    table.setCurrentCell(3, 1);
    table.editItem(table.item(3, 1));
    QPointer<LineEditFreq> ed = table.viewport()->findChild<LineEditFreq *>();
    QVERIFY(ed);
    run_key_script(ed, keys);
    QTest::keyClick(ed, Qt::Key_Return);
    QTRY_VERIFY(!ed);
    QCOMPARE(table.item(3, 1)->text(), stored);
}

QTEST_MAIN(TestTableDelegates)
#include "tst_table_delegates.moc"
