// The message strip and the log dialog: numbering, time-stamp framing, blank texts.

#include <QLineEdit>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QtTest>

#include "dbug_form.h"
#include "tfm_message.h"

namespace {
QStringList log_lines(const DBUG_FORM &log)
{
    return log.browser()->toPlainText().split(QLatin1Char('\n'));
}
}  // namespace

class TestLogStrip : public QObject {
    Q_OBJECT
private slots:
    void time_stamp_data();
    void time_stamp();
    void dialog_starts_hidden_and_empty();
    void append_line_numbers_and_skips_empty();
    void strip_copies_framed_lines();
    void empty_text_blanks_strip_but_logs_framing();
    void strip_without_target_only_shows();
    void markup_is_kept_as_text();
    void hide_and_show_keeps_lines();
    void strip_layout();
};

void TestLogStrip::time_stamp_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("stamp");
    QTest::newRow("ms below 100") << QTime(14, 3, 7, 45) << "14:03:07.045";
    QTest::newRow("ms below 10") << QTime(9, 0, 0, 5) << "09:00:00.005";
    QTest::newRow("afternoon, 24 hour") << QTime(23, 59, 59, 999) << "23:59:59.999";
    QTest::newRow("midnight") << QTime(0, 0, 0, 0) << "00:00:00.000";
}

void TestLogStrip::time_stamp()
{
    QFETCH(QTime, time);
    QFETCH(QString, stamp);
    QCOMPARE(log_time_stamp(time), stamp);
}

void TestLogStrip::dialog_starts_hidden_and_empty()
{
    DBUG_FORM log;
    QVERIFY(QFile::exists(QStringLiteral(":/icon/icon.png")));
    QVERIFY(!log.windowIcon().isNull());
    QVERIFY(!log.isVisible());
    QCOMPARE(log.line_count(), 0);
    QCOMPARE(log.geometry(), QRect(20, 20, 800, 600));
    QCOMPARE(log.browser()->geometry(), QRect(0, 20, 800, 580));
    QCOMPARE(log.browser()->parentWidget(), &log);
}

void TestLogStrip::append_line_numbers_and_skips_empty()
{
    DBUG_FORM log;
    log.append_line(QStringLiteral("первая"));
    log.append_line(QString());
    log.append_line(QStringLiteral("вторая"));
    QCOMPARE(log.line_count(), 2);
    // Each entry ends with its line feed: an empty paragraph follows it.
    QCOMPARE(log_lines(log), QStringList({QStringLiteral("1 - первая"), QString(),
                                          QStringLiteral("2 - вторая"), QString()}));
}

void TestLogStrip::strip_copies_framed_lines()
{
    DBUG_FORM log;
    TfmMessage2 strip;
    strip.set_log_target(&log);
    strip.show_text(QStringLiteral("Параметры считаны."));
    QCOMPARE(strip.edit()->text(), QStringLiteral("Параметры считаны."));
    QCOMPARE(log.line_count(), 1);
    const QRegularExpression framed(
        QStringLiteral("^1 -  \\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d :      Параметры считаны\\.$"));
    QVERIFY2(framed.match(log_lines(log).at(0)).hasMatch(), qPrintable(log_lines(log).at(0)));
}

void TestLogStrip::empty_text_blanks_strip_but_logs_framing()
{
    DBUG_FORM log;
    TfmMessage2 strip;
    strip.set_log_target(&log);
    strip.show_text(QStringLiteral("старое"));
    strip.show_text(QString());
    QCOMPARE(strip.edit()->text(), QString());
    QCOMPARE(log.line_count(), 2);
    const QRegularExpression framing(
        QStringLiteral("^2 -  \\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d :      $"));
    QVERIFY2(framing.match(log_lines(log).at(2)).hasMatch(), qPrintable(log_lines(log).at(2)));
}

void TestLogStrip::strip_without_target_only_shows()
{
    TfmMessage2 strip;
    strip.show_text(QStringLiteral("текст"));
    QCOMPARE(strip.edit()->text(), QStringLiteral("текст"));
    QVERIFY(strip.isVisible());
    strip.clear();
    QCOMPARE(strip.edit()->text(), QStringLiteral(" "));
}

void TestLogStrip::markup_is_kept_as_text()
{
    DBUG_FORM log;
    log.append_line(QStringLiteral("<b>a</b> & b"));
    QCOMPARE(log_lines(log).at(0), QStringLiteral("1 - <b>a</b> & b"));
}

void TestLogStrip::hide_and_show_keeps_lines()
{
    DBUG_FORM log;
    log.append_line(QStringLiteral("a"));
    log.show();
    log.append_line(QStringLiteral("b"));
    log.hide();
    log.append_line(QStringLiteral("c"));
    log.show();
    QCOMPARE(log_lines(log),
             QStringList({QStringLiteral("1 - a"), QString(), QStringLiteral("2 - b"), QString(),
                          QStringLiteral("3 - c"), QString()}));
}

void TestLogStrip::strip_layout()
{
    QWidget window;
    window.resize(760, 465);
    TfmMessage2 strip(&window);
    QCOMPARE(strip.geometry(), QRect(50, 290, 500, 96));
    QCOMPARE(strip.edit()->text(), QStringLiteral(" "));
    QVERIFY(strip.edit()->isReadOnly());
    QCOMPARE(strip.edit()->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
    strip.setGeometry(0, 435, 760, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(strip.edit()->geometry(), QRect(1, 8, 758, 22));
}

QTEST_MAIN(TestLogStrip)
#include "tst_log_strip.moc"
