// Key and squelch texts in both directions, including values and texts outside the tables.

#include "conf_texts.h"

#include <QtTest>

class TestConfTexts : public QObject {
    Q_OBJECT
private slots:
    void koder_data();
    void koder();
    void ph_data();
    void ph();
};

void TestConfTexts::koder_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("readBack");
    QTest::newRow("off") << 0 << QStringLiteral("Выключено") << 0;
    QTest::newRow("key 1") << 1 << QStringLiteral("Ключ 1") << 1;
    QTest::newRow("key 8") << 8 << QStringLiteral("Ключ 8") << 8;
    QTest::newRow("9 is shown as off") << 9 << QStringLiteral("Выключено") << 0;
}

void TestConfTexts::koder()
{
    QFETCH(int, key);
    QFETCH(QString, text);
    QFETCH(int, readBack);
    QCOMPARE(koder_text(uint8_t(key)), text);
    QCOMPARE(int(koder_from_text(text)), readBack);
    QCOMPARE(int(koder_from_text(QStringLiteral("Ключ 9"))), 0);
    QCOMPARE(int(koder_from_text(QStringLiteral("ключ 1"))), 0);
    QCOMPARE(koder_texts().size(), 9);
}

void TestConfTexts::ph_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("readBack");
    QTest::newRow("0") << 0 << QStringLiteral("Выключен") << 0;
    QTest::newRow("1") << 1 << QStringLiteral("Низкий") << 1;
    QTest::newRow("2") << 2 << QStringLiteral("Высокий") << 2;
    QTest::newRow("3") << 3 << QStringLiteral("Низкий с CTCSS") << 3;
    QTest::newRow("4") << 4 << QStringLiteral("Высокий с CTCSS") << 4;
    QTest::newRow("5") << 5 << QStringLiteral("CTCSS") << 5;
    QTest::newRow("6 is shown as off") << 6 << QStringLiteral("Выключен") << 0;
}

void TestConfTexts::ph()
{
    QFETCH(int, level);
    QFETCH(QString, text);
    QFETCH(int, readBack);
    QCOMPARE(ph_text(uint8_t(level)), text);
    QCOMPARE(int(ph_from_text(text)), readBack);
    QCOMPARE(int(ph_from_text(QStringLiteral("Низкий "))), 0);
    QCOMPARE(ph_texts().size(), 6);
}

QTEST_GUILESS_MAIN(TestConfTexts)
#include "tst_conf_texts.moc"
