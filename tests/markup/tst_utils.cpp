#include "utils.h"

#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>

namespace {

std::string s(const QByteArray &b) { return std::string(b.constData(), size_t(b.size())); }

QByteArray q(const std::string &str) { return QByteArray::fromStdString(str); }

QByteArray slurp(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

}  // namespace

class TestUtils : public QObject {
    Q_OBJECT
private slots:
    void find_data();
    void find();
    void find_all();
    void replace_all_data();
    void replace_all();
    void trim_data();
    void trim();
    void equal_nocase_data();
    void equal_nocase();
    void url_decode_data();
    void url_decode();
    void to_int_data();
    void to_int();
    void to_float_data();
    void to_float();
    void int_to_text();
    void binary_files();
    void text_files();
    void descriptor_failures();
};

void TestUtils::find_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<int>("start");
    QTest::addColumn<bool>("nocase");
    QTest::addColumn<int>("expected");
    QTest::newRow("empty pattern") << QByteArray("abc") << QByteArray() << 0 << false << -1;
    QTest::newRow("whole string") << QByteArray("abc") << QByteArray("abc") << 0 << false << 0;
    QTest::newRow("after start") << QByteArray("abcabc") << QByteArray("bc") << 2 << false << 4;
    QTest::newRow("start past end") << QByteArray("abc") << QByteArray("c") << 3 << false << -1;
    QTest::newRow("negative start") << QByteArray("abc") << QByteArray("a") << -1 << false << -1;
    QTest::newRow("does not fit") << QByteArray("abc") << QByteArray("bcd") << 1 << false << -1;
    QTest::newRow("case matters") << QByteArray("Freq") << QByteArray("FREQ") << 0 << false << -1;
    QTest::newRow("nocase ascii") << QByteArray("a Freq") << QByteArray("FREQ") << 0 << true << 2;
    QTest::newRow("nocase cyrillic exact")
        << QByteArray("ПРИВЕТ привет") << QByteArray("привет") << 0 << true << 13;
    QTest::newRow("nocase empty") << QByteArray("abc") << QByteArray() << 0 << true << -1;
}

void TestUtils::find()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, pattern);
    QFETCH(int, start);
    QFETCH(bool, nocase);
    QFETCH(int, expected);
    const int got = nocase ? str_find_nocase(s(text), s(pattern), start)
                           : str_find(s(text), s(pattern), start);
    QCOMPARE(got, expected);
}

void TestUtils::find_all()
{
    std::vector<int> at;
    QCOMPARE(str_find_all("aaaaa", "aa", at), 2);
    QCOMPARE(at, (std::vector<int>{0, 2}));
    QCOMPARE(str_find_all("abc", "x", at), 0);
    QVERIFY(at.empty());
}

void TestUtils::replace_all_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<QByteArray>("replacement");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("count");
    QTest::newRow("remove a char")
        << QByteArray("1 000 000") << QByteArray(" ") << QByteArray() << QByteArray("1000000") << 2;
    QTest::newRow("none") << QByteArray("abc") << QByteArray("x") << QByteArray("y")
                          << QByteArray("abc") << 0;
    QTest::newRow("non-overlapping")
        << QByteArray("aaa") << QByteArray("aa") << QByteArray("b") << QByteArray("ba") << 1;
    QTest::newRow("longer replacement") << QByteArray("\n\n") << QByteArray("\n")
                                        << QByteArray("\r\n") << QByteArray("\r\n\r\n") << 2;
}

void TestUtils::replace_all()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, pattern);
    QFETCH(QByteArray, replacement);
    QFETCH(QByteArray, expected);
    QFETCH(int, count);
    std::string t = s(text);
    QCOMPARE(str_replace_all(t, s(pattern), s(replacement)), count);
    QCOMPARE(q(t), expected);
}

void TestUtils::trim_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("removed");
    QTest::newRow("both ends") << QByteArray(" \t x y \r\n") << QByteArray("x y") << 6;
    QTest::newRow("only blanks") << QByteArray(" \t\n\n ") << QByteArray() << 5;
    QTest::newRow("control bytes") << QByteArray("\x01x\x1f", 3) << QByteArray("x") << 2;
    QTest::newRow("nul bytes") << QByteArray("\0x\0", 3) << QByteArray("x") << 2;
    QTest::newRow("high bytes stay") << QByteArray("\xA0x\xFF") << QByteArray("\xA0x\xFF") << 0;
    QTest::newRow("empty") << QByteArray() << QByteArray() << 0;
}

void TestUtils::trim()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);
    QFETCH(int, removed);
    std::string t = s(text);
    QCOMPARE(str_trim(t), removed);
    QCOMPARE(q(t), expected);
}

void TestUtils::equal_nocase_data()
{
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<bool>("equal");
    QTest::newRow("ascii letters") << QByteArray("Freq") << QByteArray("FREQ") << true;
    QTest::newRow("cyrillic case differs") << QByteArray("Канал") << QByteArray("КАНАЛ") << false;
    QTest::newRow("cyrillic same") << QByteArray("Канал") << QByteArray("Канал") << true;
    QTest::newRow("length differs") << QByteArray("TUN") << QByteArray("TUNE") << false;
    QTest::newRow("not letters") << QByteArray("[") << QByteArray("{") << false;
    QTest::newRow("both empty") << QByteArray() << QByteArray() << true;
}

void TestUtils::equal_nocase()
{
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(bool, equal);
    QCOMPARE(str_equal_nocase(s(a), s(b)), equal);
}

void TestUtils::url_decode_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("mixed") << QByteArray("a+b%41%zz%4") << QByteArray("a bA%4");
    QTest::newRow("lower hex") << QByteArray("%6a%6A") << QByteArray("jj");
    QTest::newRow("byte") << QByteArray("%C0%00x") << QByteArray("\xC0\0x", 3);
    QTest::newRow("half hex") << QByteArray("%4z") << QByteArray("%");
    QTest::newRow("lone percent") << QByteArray("%") << QByteArray();
    QTest::newRow("percent percent") << QByteArray("%%41") << QByteArray("%1");
    QTest::newRow("plain") << QByteArray("COM1") << QByteArray("COM1");
}

void TestUtils::url_decode()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);
    std::string t = s(text);
    ::url_decode(t);
    QCOMPARE(q(t), expected);
}

void TestUtils::to_int_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("expected");
    QTest::newRow("plain") << QByteArray("9600") << 9600;
    QTest::newRow("blanks sign tail") << QByteArray(" \t-42abc") << -42;
    QTest::newRow("plus") << QByteArray("+7") << 7;
    QTest::newRow("no digits") << QByteArray("abc") << 0;
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("sign then blank") << QByteArray("- 5") << 0;
    QTest::newRow("decimal stops") << QByteArray("2.7") << 2;
    QTest::newRow("too big saturates") << QByteArray("99999999999") << INT32_MAX;
    QTest::newRow("too small saturates") << QByteArray("-99999999999") << INT32_MIN;
    QTest::newRow("minimum") << QByteArray("-2147483648") << INT32_MIN;
}

void TestUtils::to_int()
{
    QFETCH(QByteArray, text);
    QFETCH(int, expected);
    QCOMPARE(str_to_int(s(text)), expected);
}

void TestUtils::to_float_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("2.4 single") << QByteArray("2.4") << 2.4000000953674316;
    QTest::newRow("1.75 exact") << QByteArray("1.75") << 1.75;
    QTest::newRow("blanks tail") << QByteArray("  2.5V") << 2.5;
    QTest::newRow("comma stops") << QByteArray("2,5") << 2.0;
    QTest::newRow("not a number") << QByteArray("abc") << 0.0;
    QTest::newRow("empty") << QByteArray() << 0.0;
    QTest::newRow("exponent") << QByteArray("-1e1") << -10.0;
}

void TestUtils::to_float()
{
    QFETCH(QByteArray, text);
    QFETCH(double, expected);
    QCOMPARE(str_to_float(s(text)), expected);
}

void TestUtils::int_to_text()
{
    QCOMPARE(q(int_to_string(-125)), QByteArray("-125"));
    QCOMPARE(q(int_to_string(0)), QByteArray("0"));
    QCOMPARE(q(int_to_string(INT32_MIN)), QByteArray("-2147483648"));
    QVERIFY(std::isinf(str_to_float("1e40")));
}

void TestUtils::binary_files()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string path = dir.filePath("a.bin").toStdString();

    QCOMPARE(write_string_to_file(std::string("a\r\nb\0", 5), path), 1);
    QCOMPARE(slurp(QString::fromStdString(path)), QByteArray("a\r\nb\0", 5));
    QCOMPARE(file_size(path), 5L);
    QVERIFY(is_regular_file(path));

    std::string out = "old";
    QCOMPARE(read_file_to_string("  " + path + "\n", out), 5L);
    QCOMPARE(q(out), QByteArray("a\r\nb\0", 5));

    QCOMPARE(write_string_to_file("", path), -1);  // still truncates
    QCOMPARE(file_size(path), 0L);
    QCOMPARE(read_file_to_string(path, out), 0L);
    QVERIFY(out.empty());

    const std::string dir_path = dir.path().toStdString();
    QCOMPARE(file_size(dir_path), -1L);
    QVERIFY(!is_regular_file(dir_path));
    QCOMPARE(file_size(path + ".missing"), -1L);
    QCOMPARE(read_file_to_string(path + ".missing", out), -1L);
    QCOMPARE(read_file_to_string("   ", out), -1L);

    QCOMPARE(write_string_to_file("12345678", path), 1);
    int fd = file_open_read(path);
    QVERIFY(fd > 0);
    QCOMPARE(file_seek(fd, 3, SEEK_SET), 3L);
    QCOMPARE(file_size_fd(fd), 8L);
    char buf[4] = {};
    QCOMPARE(file_read(fd, buf, 2), 2);  // back at the start after learning the size
    QCOMPARE(QByteArray(buf, 2), QByteArray("12"));
    file_close(fd);
}

void TestUtils::text_files()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString qpath = dir.filePath("t.txt");
    const std::string path = qpath.toStdString();

    QCOMPARE(write_text_file("a\nb\n", path), 4L);
    QCOMPARE(slurp(qpath), QByteArray("a\r\nb\r\n"));
    std::string out = "x";
    QCOMPARE(read_text_file(path, out), 4L);
    QCOMPARE(q(out), QByteArray("xa\nb\n"));  // appends

    QCOMPARE(write_string_to_file("lone\rcr\r\n", path), 1);
    out.clear();
    read_text_file(path, out);
    QCOMPARE(q(out), QByteArray("lone\rcr\n"));

    QCOMPARE(write_text_file("", path), -1L);
    QCOMPARE(slurp(qpath), QByteArray());
    QCOMPARE(write_text_file("a", ""), -1L);
    QCOMPARE(write_text_file("a", dir.filePath("no/such/dir").toStdString()), -1L);
    out.clear();
    QCOMPARE(read_text_file(path + ".missing", out), 0L);
}

void TestUtils::descriptor_failures()
{
    char buf[1];
    QCOMPARE(file_open_read(""), -1);
    QCOMPARE(file_open_write(""), -1);
    QCOMPARE(file_read(-1, buf, 1), -1);
    QCOMPARE(file_write(-1, buf, 1), -1);
    QCOMPARE(file_seek(-1, 0, SEEK_SET), -1L);
    QCOMPARE(file_size_fd(-1), -1L);
    const bool stdin_open = fcntl(0, F_GETFD) != -1;
    file_close(0);  // must leave standard input alone
    QCOMPARE(fcntl(0, F_GETFD) != -1, stdin_open);
    file_close(-1);
}

QTEST_GUILESS_MAIN(TestUtils)
#include "tst_utils.moc"
