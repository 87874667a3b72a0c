// Reading numbers out of editor texts: leading part only, no number is 0, no wrap-around.

#include <QtTest>
#include <clocale>
#include <cstdio>

#include "editor_numbers.h"

class TestEditorNumbers : public QObject {
    Q_OBJECT

private slots:
    void integers_data();
    void integers();
    void decimals_data();
    void decimals();
    void trimmed_format();
    void texts_ignore_a_decimal_comma_locale();
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

// A Russian desktop makes the C library write "88,5"; the form must still say "88.5" and
// read it back as 88.5, or tones change silently between the radio and a file.
void TestEditorNumbers::texts_ignore_a_decimal_comma_locale()
{
    const QByteArray saved = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "ru_RU.UTF-8"))
        QFAIL("the ru_RU.UTF-8 locale is not installed (scripts/install-deps generates it)");
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 88.5);
    const QString shown = format_trimmed("%4.1f", 88.5);
    const double read = text_to_double(QStringLiteral("66.9"));
    const QString big = format_trimmed("%6.0f", 1234567.0);
    std::setlocale(LC_ALL, saved.constData());
    QCOMPARE(QString::fromLatin1(probe), QString("88,5"));  // the locale really is active
    QCOMPARE(shown, QString("88.5"));
    QCOMPARE(read, 66.9);
    QCOMPARE(big, QString("1234567"));
}

QTEST_MAIN(TestEditorNumbers)
#include "tst_editor_numbers.moc"
