#include "station_fixture.h"
#include "station_tables.h"
#include "utils.h"

#include <QProcess>
#include <QtTest>

namespace {

const char *const conf_name = STATION_CONF_FILE_NAME;
const QString shipped = QStringLiteral(K40_SOURCE_DIR "/data/torvel.configuration.K40");

std::string shipped_text()
{
    std::string raw;
    read_file_to_string(shipped.toStdString(), raw);
    return text_crlf_to_lf(raw);
}

int count_of(const std::string &text, const std::string &what)
{
    std::vector<int> at;
    return str_find_all(text, what, at);
}

int run_tool(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(K40_SEAL_TOOL), args);
    if (!p.waitForFinished(30000))
        return -1;
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

}  // namespace

class TestStationSeal : public QObject {
    Q_OBJECT
private slots:
    void shipped_file_loads();
    void seal_after_edit_data();
    void seal_after_edit();
    void seal_keeps_user_comment();
    void seal_needs_tun_pair();
    void tool_checks_and_reseals();
};

void TestStationSeal::shipped_file_loads()
{
    StationDir dir;
    QVERIFY(QFile::copy(shipped, dir.file(conf_name)));
    STATION_CONFIG conf;
    QCOMPARE(dir.load(conf), StationLoadResult::Loaded);

    const STATION_BAND expected_bands[] = {
        {1, 146000, 159975, -21400, 21400, 0, 0, 25},
        {1, 160000, 174000, -21400, 21400, 0, 0, 25},
        {2, 33000, 40975, -10700, 10700, 0, 0, 25},
        {2, 41000, 48500, -10700, 10700, 0, 0, 25},
    };
    const TUN_POINT expected_points[] = {
        {146000, 1.75, 1, 114},         {160000, double(2.4f), 1, 115},
        {174000, double(2.8f), 1, 116}, {33000, double(1.2f), 2, 117},
        {40000, 2.0, 2, 118},           {48500, double(2.7f), 2, 119},
    };
    compare_station_tables(conf, expected_bands, 4, expected_points, 6);
    if (QTest::currentTestFailed())
        return;
    // A fresh directory gets the default port settings.
    QCOMPARE(QByteArray(conf.Com_Port_Name), QByteArray("COM1"));
    QCOMPARE(conf.Com_Port_BaudRate, 9600);
}

void TestStationSeal::seal_after_edit_data()
{
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<int>("point");
    QTest::addColumn<int>("freq");
    QTest::newRow("point moved") << QByteArray("Freq=\"40000\"") << QByteArray("Freq=\"40025\"")
                                 << 4 << 40025;
    QTest::newRow("point added")
        << QByteArray("]\n[TUN]= [\n")
        << QByteArray("]\n[TUN]= [\n<POINT Freq=\"150000\" U=\"2\" id=\"1\" Adress=\"120\" />\n")
        << 0 << 150000;
    QTest::newRow("seal comment removed")
        << QByteArray("<!-- seal ") << QByteArray("<!-- ") << 0 << 146000;
}

void TestStationSeal::seal_after_edit()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(int, point);
    QFETCH(int, freq);
    std::string text = shipped_text();
    const size_t at = text.find(from.toStdString());
    QVERIFY(at != std::string::npos);
    text.replace(at, size_t(from.size()), to.toStdString());

    unsigned sum = 0;
    QVERIFY(!station_text_is_sealed(text, sum));
    std::string out, word, error;
    QVERIFY2(station_seal_text(text, out, word, error), error.c_str());
    QVERIFY(station_text_is_sealed(out, sum));
    QCOMPARE(count_of(out, "<!-- seal "), 1);
    QCOMPARE(word.size(), size_t(4));

    // Sealing a sealed text keeps it sealed and does not pile up comments.
    std::string again;
    QVERIFY(station_seal_text(out, again, word, error));
    QCOMPARE(again, out);

    StationDir dir;
    dir.write(conf_name, out);
    STATION_CONFIG conf;
    QCOMPARE(dir.load(conf), StationLoadResult::Loaded);
    QCOMPARE(conf.tun[point].Freq, freq);
}

void TestStationSeal::seal_keeps_user_comment()
{
    const std::string text = station_text(bands(1), points(2) + "<!-- band 1 -->\n");
    const std::string out = sealed(text);
    QVERIFY(!out.empty());
    QCOMPARE(count_of(out, "<!-- band 1 -->"), 1);
    QCOMPARE(count_of(out, "<!-- seal "), 1);
}

void TestStationSeal::seal_needs_tun_pair()
{
    std::string out, word, error;
    QVERIFY(!station_seal_text("[DIAPAZON_FREQ]= []\n", out, word, error));
    QVERIFY(!error.empty());
}

void TestStationSeal::tool_checks_and_reseals()
{
    StationDir dir;
    const QString path = dir.file(conf_name);
    QVERIFY(QFile::copy(shipped, path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(run_tool({"--check", path}), 0);

    // An installer's edit, saved with CR LF line ends.
    std::string text = text_lf_to_crlf(shipped_text());
    text.replace(text.find("U=\"2.0\""), 7, "U=\"2.1\"");
    dir.write(conf_name, text);
    QCOMPARE(run_tool({"--check", path}), 1);
    STATION_CONFIG conf;
    QCOMPARE(dir.load(conf), StationLoadResult::ExitSilently);

    QCOMPARE(run_tool({path}), 0);
    QCOMPARE(run_tool({"--check", path}), 0);
    QVERIFY(!dir.read(conf_name).contains("\n\n"));
    QCOMPARE(dir.read(conf_name).count("\r\n"), dir.read(conf_name).count("\n"));
    QCOMPARE(dir.load(conf), StationLoadResult::Loaded);
    QCOMPARE(conf.tun[4].U, double(2.1f));

    QCOMPARE(run_tool({}), 2);
    QCOMPARE(run_tool({"--bogus", path}), 2);
    QCOMPARE(run_tool({path + ".missing"}), 1);
}

QTEST_GUILESS_MAIN(TestStationSeal)
#include "tst_seal.moc"
