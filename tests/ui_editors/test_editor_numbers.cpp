// Reading numbers out of editor texts: leading part only, no number is 0, no wrap-around.

#include <QtTest>

#include "editor_numbers.h"

class TestEditorNumbers : public QObject {
    Q_OBJECT

private slots:
    void integers_data();
    void integers();
    void decimals_data();
    void decimals();
    void trimmed_format();
};

void TestEditorNumbers::integers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("digits");
    QTest::addColumn<int>("atoi");
    QTest::newRow("plain") << "148000" << 148000 << 148000;
    QTest::newRow("trailing text") << "12a" << 12 << 12;
    QTest::newRow("leading text") << "a12" << 0 << 0;
    QTest::newRow("empty") << "" << 0 << 0;
    QTest::newRow("leading blanks") << "  7" << 0 << 7;
    QTest::newRow("negative") << "-5" << 0 << -5;
    QTest::newRow("plus sign") << "+5" << 0 << 5;
    QTest::newRow("saturates") << "99999999999999" << INT32_MAX << INT32_MAX;
    QTest::newRow("saturates negative") << "-99999999999999" << 0 << INT32_MIN;
}

void TestEditorNumbers::integers()
{
    QFETCH(QString, text);
    QFETCH(int, digits);
    QFETCH(int, atoi);
    QCOMPARE(text_leading_digits(text), digits);
    QCOMPARE(text_to_int(text), atoi);
}

void TestEditorNumbers::decimals_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("tenths") << "88.5" << 88.5;
    QTest::newRow("trailing point") << "66." << 66.0;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("second point ends it") << "1.2.3" << 1.2;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("lone point") << "." << 0.0;
    QTest::newRow("no exponent") << "1e3" << 1.0;
    QTest::newRow("blanks and sign") << " -7.25x" << -7.25;
}

void TestEditorNumbers::decimals()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(text_to_double(text), value);
}

void TestEditorNumbers::trimmed_format()
{
    QCOMPARE(format_trimmed("%4.0f", 350), QString("350"));
    QCOMPARE(format_trimmed("%4.1f", 67), QString("67.0"));
    QCOMPARE(format_trimmed("%6.0f", 1450), QString("1450"));
}

QTEST_MAIN(TestEditorNumbers)
#include "test_editor_numbers.moc"
