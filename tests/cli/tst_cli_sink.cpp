// The pauses and hints meant for a person reading the window, against a terminal's sink.

#include <QtTest>

#include <cstdio>

#include "cli_sink.h"
#include "recording.h"

class TestCliSink : public QObject {
    Q_OBJECT
private slots:
    void window_pauses_data();
    void window_pauses();
};

void TestCliSink::window_pauses_data()
{
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<QList<int>>("pauses");
    QTest::addColumn<QStringList>("shown");
    // report, hint, a reading pause, then a pause of the line's timing.
    QTest::newRow("window") << false << QList<int>{50, 2000, 2000, 1000, 300}
                            << QStringList{QString(), QStringLiteral("Сбой"),
                                           QStringLiteral("Нажмите кнопку")};
    QTest::newRow("terminal") << true << QList<int>{300} << QStringList{QStringLiteral("Сбой")};
}

void TestCliSink::window_pauses()
{
    QFETCH(bool, terminal);
    QFETCH(QList<int>, pauses);
    QFETCH(QStringList, shown);
    std::FILE *err = std::tmpfile();
    QVERIFY(err);
    CliSink cli(err);
    RecordingSink window;
    RecordingSleeper sleeper;
    const Reporter r(terminal ? static_cast<MessageSink *>(&cli) : &window, &sleeper);
    r.report(QStringLiteral("Сбой"));
    r.hint(QStringLiteral("Нажмите кнопку"));
    r.reading_pause(1000);
    r.pause(300);
    QCOMPARE(sleeper.pauses, pauses);
    if (terminal) {
        std::rewind(err);
        char buffer[256] = {};
        const size_t n = std::fread(buffer, 1, sizeof buffer - 1, err);
        QCOMPARE(QString::fromUtf8(buffer, int(n)), shown.join(QLatin1Char('\n')) + '\n');
    } else {
        QCOMPARE(window.texts(), shown);
    }
    std::fclose(err);
}

QTEST_GUILESS_MAIN(TestCliSink)
#include "tst_cli_sink.moc"
