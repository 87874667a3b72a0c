#include "crc16.h"
#include "key_value_file.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

std::string s(const QByteArray &b) { return std::string(b.constData(), size_t(b.size())); }

}  // namespace

class TestKeyValueFile : public QObject {
    Q_OBJECT
private slots:
    void crc_check_values_data();
    void crc_check_values();
    void crc_continues_over_two_buffers_data();
    void crc_continues_over_two_buffers();
    void parse_data();
    void parse();
    void load_reads_crlf_as_lf();
    void save_writes_pairs_unencoded();
    void save_needs_path_and_pairs();
};

void TestKeyValueFile::crc_check_values_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("crc");
    QTest::newRow("123456789") << QByteArray("123456789") << 0xBB3D;
    QTest::newRow("abc") << QByteArray("abc") << 0x9738;
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("one zero byte") << QByteArray(1, '\0') << 0;
    QTest::newRow("high byte") << QByteArray("\xFF") << 0x4040;
}

void TestKeyValueFile::crc_check_values()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, crc);
    QCOMPARE(int(crc16_arc(0, bytes.constData(), size_t(bytes.size()))), crc);
}

void TestKeyValueFile::crc_continues_over_two_buffers_data()
{
    QTest::addColumn<int>("split");
    for (int k = 0; k <= 9; ++k)
        QTest::newRow(qPrintable(QString("split at %1").arg(k))) << k;
}

void TestKeyValueFile::crc_continues_over_two_buffers()
{
    QFETCH(int, split);
    const std::string text = "123456789";
    const uint16_t first = crc16_arc(0, text.substr(0, size_t(split)));
    QCOMPARE(int(crc16_arc(first, text.substr(size_t(split)))), 0xBB3D);
}

void TestKeyValueFile::parse_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("pairs");

    QTest::newRow("lower-case key found")
        << QByteArray("[com_port_name]= [COM3]\n") << QByteArray("Com_Port_Name") << true
        << QByteArray("COM3") << 1;
    QTest::newRow("url decoding") << QByteArray("[k]= [a+b%41%zz%4]") << QByteArray("k") << true
                                  << QByteArray("a bA%4") << 1;
    QTest::newRow("duplicate takes the first")
        << QByteArray("[k]= [1]\n[K]= [2]\n") << QByteArray("k") << true << QByteArray("1") << 2;
    QTest::newRow("no blank after ]=")
        << QByteArray("[k]=[v]") << QByteArray("k") << true << QByteArray("v") << 1;
    QTest::newRow("junk between ]= and [")
        << QByteArray("[k]=  junk\n [v]") << QByteArray("k") << true << QByteArray("v") << 1;
    QTest::newRow("empty key dropped")
        << QByteArray("[]= [x][k]= [v]") << QByteArray("k") << true << QByteArray("v") << 1;
    QTest::newRow("empty value kept") << QByteArray("[DIAPAZON_FREQ]= []")
                                      << QByteArray("DIAPAZON_FREQ") << true << QByteArray() << 1;
    QTest::newRow("key not trimmed")
        << QByteArray("[ k]= [v]") << QByteArray("k") << false << QByteArray() << 1;
    QTest::newRow("value ends at first ]")
        << QByteArray("[k]= [a]b]") << QByteArray("k") << true << QByteArray("a") << 1;
    QTest::newRow("value keeps line feeds") << QByteArray("[TUN]= [\n<P/>\n]") << QByteArray("tun")
                                            << true << QByteArray("\n<P/>\n") << 1;
    QTest::newRow("text outside pairs")
        << QByteArray("head [k]= [v] tail [x") << QByteArray("k") << true << QByteArray("v") << 1;
    QTest::newRow("unterminated pair")
        << QByteArray("[k]= [v") << QByteArray("k") << false << QByteArray() << 0;
    QTest::newRow("missing key") << QByteArray("[a]= [1]") << QByteArray("b") << false
                                 << QByteArray() << 1;
    QTest::newRow("empty key asked")
        << QByteArray("[a]= [1]") << QByteArray() << false << QByteArray() << 1;
    QTest::newRow("cyrillic keys exact")
        << QByteArray("[ключ]= [1]") << QByteArray("КЛЮЧ") << false << QByteArray() << 1;
    QTest::newRow("no pairs") << QByteArray("garbage") << QByteArray("k") << false << QByteArray()
                              << 0;
}

void TestKeyValueFile::parse()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, key);
    QFETCH(bool, found);
    QFETCH(QByteArray, value);
    QFETCH(int, pairs);
    KEY_VALUE_FILE kv;
    kv.kv_parse(s(text));
    std::string got = "stale";
    QCOMPARE(kv.kv_get(s(key), got), found);
    QCOMPARE(QByteArray::fromStdString(got), value);
    QCOMPARE(kv.pair_count(), pairs);
}

void TestKeyValueFile::load_reads_crlf_as_lf()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("torvel.txt");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[TUN]= [\r\n<P/>\r\n]\r\n[Com_Port_Name]= [COM2]\r\n");
    f.close();

    KEY_VALUE_FILE kv(path.toStdString());
    QCOMPARE(kv.pair_count(), 2);
    std::string v;
    QVERIFY(kv.kv_get("TUN", v));
    QCOMPARE(v, std::string("\n<P/>\n"));
    QVERIFY(kv.text().find('\r') == std::string::npos);
}

void TestKeyValueFile::save_writes_pairs_unencoded()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("out.txt");
    KEY_VALUE_FILE kv(path.toStdString());
    QCOMPARE(kv.pair_count(), 0);
    kv.kv_set("Com_Port_Name", "COM1");
    kv.kv_set("Com_Port_Name", "a b%");  // appended, not replaced
    QVERIFY(kv.kv_save());
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("[Com_Port_Name]= [COM1]\r\n[Com_Port_Name]= [a b%]\r\n"));
    kv.kv_load();
    QCOMPARE(kv.pair_count(), 2);
    std::string v;
    QVERIFY(kv.kv_get("COM_PORT_NAME", v));
    QCOMPARE(v, std::string("COM1"));
}

void TestKeyValueFile::save_needs_path_and_pairs()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("none.txt");
    KEY_VALUE_FILE empty(path.toStdString());
    QVERIFY(!empty.kv_save());
    QVERIFY(!QFile::exists(path));
    KEY_VALUE_FILE no_path;
    no_path.kv_set("k", "v");
    QVERIFY(!no_path.kv_save());
}

QTEST_GUILESS_MAIN(TestKeyValueFile)
#include "tst_key_value_file.moc"
