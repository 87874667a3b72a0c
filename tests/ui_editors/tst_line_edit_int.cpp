// The integer editor in both of its modes.

#include <QClipboard>
#include <QPushButton>
#include <QtTest>

#include "key_script.h"
#include "line_edit_int.h"

namespace {

// The microphone field of the main window: one of the two values 24 and 31.
void setup_microphone(LINE_EDIT_INT &ed)
{
    ed.setup(24, 31, 0, 0, 24, 31, 1);
    ed.check_value_end();
}

}  // namespace

class TestLineEditInt : public QObject {
    Q_OBJECT

private slots:
    void construction();
    void setup_rounds_to_granularity();
    void microphone_keys_data();
    void microphone_keys();
    void microphone_buttons();
    void range_keys_data();
    void range_keys();
    void granularity_on_finish();
    void buttons_follow_the_size_data();
    void buttons_follow_the_size();
    void paste_is_checked();
    void leaving_the_field_checks();
};

void TestLineEditInt::construction()
{
    LINE_EDIT_INT ed;
    QCOMPARE(ed.text(), QString("0"));
    QVERIFY(ed.range_mode());
    QCOMPARE(ed.lower(), 0);
    QCOMPARE(ed.upper(), 255);
    auto *plus = ed.findChild<QPushButton *>("b_plus_int_val");
    auto *minus = ed.findChild<QPushButton *>("b_minus_int_val");
    QVERIFY(plus && minus);
    QCOMPARE(plus->text(), QString("+"));
    QCOMPARE(minus->text(), QString("-"));
    QCOMPARE(plus->cursor().shape(), Qt::ArrowCursor);

    LINE_EDIT_INT mic;
    setup_microphone(mic);
    QVERIFY(!mic.range_mode());
    QCOMPARE(mic.text(), QString("24"));
}

void TestLineEditInt::setup_rounds_to_granularity()
{
    LINE_EDIT_INT ed;
    ed.setup(3, 98, 7, 12, 1, 99, 5);
    QCOMPARE(ed.lower(), 0);
    QCOMPARE(ed.upper(), 95);
    QCOMPARE(ed.small_step(), 5);
    QCOMPARE(ed.large_step(), 10);
    QCOMPARE(ed.value_below(), 0);
    QCOMPARE(ed.value_above(), 95);
    ed.setup(3, 98, 7, 12, 1, 99, 0);
    QCOMPARE(ed.granularity(), 1);
    QCOMPARE(ed.lower(), 3);
}

void TestLineEditInt::microphone_keys_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("after");
    QTest::newRow("plus") << "24"
                          << "+"
                          << "31";
    QTest::newRow("plus twice") << "24"
                                << "+ +"
                                << "24";
    QTest::newRow("minus") << "24"
                           << "-"
                           << "31";
    QTest::newRow("minus on 31") << "31"
                                 << "-"
                                 << "24";
    QTest::newRow("up") << "24"
                        << "Up"
                        << "31";
    QTest::newRow("down") << "31"
                          << "Down"
                          << "24";
    QTest::newRow("page up") << "24"
                             << "PgUp"
                             << "31";
    QTest::newRow("page down") << "24"
                               << "PgDn PgDn"
                               << "24";
    QTest::newRow("home") << "31"
                          << "Home"
                          << "24";
    QTest::newRow("end") << "24"
                         << "End"
                         << "31";
    QTest::newRow("typed digit") << "31"
                                 << "5"
                                 << "24";
    QTest::newRow("typed letter is dropped") << "31"
                                             << "a"
                                             << "31";
    QTest::newRow("typed digit on 24") << "24"
                                       << "1"
                                       << "24";
    QTest::newRow("backspace") << "31"
                               << "Bsp"
                               << "24";
    QTest::newRow("left keeps") << "31"
                                << "Left"
                                << "31";
}

void TestLineEditInt::microphone_keys()
{
    QFETCH(QString, before);
    QFETCH(QString, keys);
    QFETCH(QString, after);
    LINE_EDIT_INT ed;
    setup_microphone(ed);
    ed.setText(before);
    run_key_script(&ed, keys);
    QCOMPARE(ed.text(), after);
}

void TestLineEditInt::microphone_buttons()
{
    LINE_EDIT_INT ed;
    setup_microphone(ed);
    ed.resize(61, 20);
    ed.show();
    QVERIFY(QTest::qWaitForWindowExposed(&ed));
    QTest::mouseClick(ed.plus_button(), Qt::LeftButton);
    QCOMPARE(ed.text(), QString("31"));
    QTest::mouseClick(ed.plus_button(), Qt::LeftButton);
    QCOMPARE(ed.text(), QString("24"));
    QTest::mouseClick(ed.minus_button(), Qt::LeftButton);
    QCOMPARE(ed.text(), QString("31"));
    QTest::mouseClick(ed.minus_button(), Qt::LeftButton);
    QCOMPARE(ed.text(), QString("24"));
}

void TestLineEditInt::range_keys_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("after");
    QTest::newRow("plus at 255") << "255" << 3 << "+"
                                 << "255";
    QTest::newRow("plus") << "12" << 2 << "+"
                          << "13";
    QTest::newRow("minus at 0") << "0" << 1 << "-"
                                << "0";
    QTest::newRow("page down") << "12" << 2 << "PgDn"
                               << "14";
    QTest::newRow("page up near 0") << "1" << 1 << "PgUp"
                                    << "0";
    QTest::newRow("letter after 12") << "12" << 2 << "a"
                                     << "12";
    QTest::newRow("letter before 12") << "12" << 0 << "a"
                                      << "0";
    QTest::newRow("digit past the top") << "30" << 2 << "0"
                                        << "255";
    QTest::newRow("home and end") << "30" << 2 << "End"
                                  << "255";
    QTest::newRow("backspace to empty") << "5" << 1 << "Bsp"
                                        << "0";
    QTest::newRow("shift left selects only") << "12" << 2 << "Shift"
                                             << "12";
}

void TestLineEditInt::range_keys()
{
    QFETCH(QString, before);
    QFETCH(int, cursor);
    QFETCH(QString, keys);
    QFETCH(QString, after);
    LINE_EDIT_INT ed;
    ed.setText(before);
    ed.setCursorPosition(cursor);
    run_key_script(&ed, keys);
    QCOMPARE(ed.text(), after);
}

void TestLineEditInt::granularity_on_finish()
{
    LINE_EDIT_INT ed;
    ed.setup(0, 100, 5, 10, 0, 100, 5);
    ed.setText("12");
    run_key_script(&ed, "+");
    QCOMPARE(ed.text(), QString("15"));
    ed.setText("13");
    ed.check_value();
    QCOMPARE(ed.text(), QString("13"));
    ed.check_value_end();
    QCOMPARE(ed.text(), QString("10"));
    ed.setText("");
    ed.check_value_end();
    QCOMPARE(ed.text(), QString("0"));
}

void TestLineEditInt::buttons_follow_the_size_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRect>("plus");
    QTest::addColumn<QRect>("minus");
    QTest::newRow("microphone field")
        << QSize(61, 20) << QRect(28, 2, 15, 15) << QRect(44, 2, 15, 15);
    QTest::newRow("taller field") << QSize(100, 30) << QRect(62, 7, 15, 15) << QRect(78, 7, 15, 15);
}

void TestLineEditInt::buttons_follow_the_size()
{
    QFETCH(QSize, size);
    QFETCH(QRect, plus);
    QFETCH(QRect, minus);
    QWidget parent;
    auto *ed = new LINE_EDIT_INT(&parent);
    ed->setGeometry(QRect(QPoint(10, 20), size));
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QCOMPARE(ed->plus_button()->geometry(), plus);
    QCOMPARE(ed->minus_button()->geometry(), minus);
}

void TestLineEditInt::paste_is_checked()
{
    LINE_EDIT_INT ed;
    setup_microphone(ed);
    ed.setText("31");
    ed.setCursorPosition(2);
    QGuiApplication::clipboard()->setText("7");
    QTest::keyClick(&ed, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(ed.text(), QString("24"));

    LINE_EDIT_INT range;
    range.setText("12");
    range.setCursorPosition(2);
    QGuiApplication::clipboard()->setText("x");
    QTest::keyClick(&range, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(range.text(), QString("12"));
}

void TestLineEditInt::leaving_the_field_checks()
{
    QWidget form;
    auto *ed = new LINE_EDIT_INT(&form);
    auto *other = new QLineEdit(&form);
    other->move(0, 40);
    ed->setup(0, 100, 5, 10, 0, 100, 5);
    ed->setText("13");
    form.show();
    QApplication::setActiveWindow(&form);
    ed->setFocus();
    QTRY_VERIFY(ed->hasFocus());
    other->setFocus();
    QTRY_COMPARE(ed->text(), QString("10"));
}

QTEST_MAIN(TestLineEditInt)
#include "tst_line_edit_int.moc"
