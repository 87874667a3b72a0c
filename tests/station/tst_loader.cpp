#include "station_fixture.h"

#include <QtTest>

Q_DECLARE_METATYPE(StationLoadResult)

namespace {

const char *const conf_name = STATION_CONF_FILE_NAME;
const char *const port_name = STATION_PORT_FILE_NAME;

std::string s(const QByteArray &b) { return std::string(b.constData(), size_t(b.size())); }

std::string replaced(std::string text, const std::string &from, const std::string &to)
{
    const size_t at = text.find(from);
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

bool all_zero(const void *p, size_t n)
{
    const auto *b = static_cast<const unsigned char *>(p);
    for (size_t i = 0; i < n; ++i)
        if (b[i])
            return false;
    return true;
}

}  // namespace

class TestStationLoader : public QObject {
    Q_OBJECT
private slots:
    void verdict_data();
    void verdict();
    void missing_or_pairless_file_gets_template_data();
    void missing_or_pairless_file_gets_template();
    void point_values_data();
    void point_values();
    void missing_attributes_read_as_zero();
    void bands_in_file_order();
    void port_settings_data();
    void port_settings();
    void null_record_does_nothing();
};

void TestStationLoader::verdict_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<StationLoadResult>("verdict");
    QTest::addColumn<int>("tun_count");
    QTest::addColumn<int>("band_count");

    const auto exit = StationLoadResult::ExitSilently;
    const auto loaded = StationLoadResult::Loaded;
    const std::string good = sealed(station_text(bands(2), points(3)));
    auto row = [](const char *name, const std::string &file, StationLoadResult v, int t, int b) {
        QTest::newRow(name) << QByteArray::fromStdString(file) << v << t << b;
    };

    row("sealed", good, loaded, 3, 2);
    std::string crlf = good;
    for (size_t at = 0; (at = crlf.find('\n', at)) != std::string::npos; at += 2)
        crlf.insert(at, 1, '\r');
    row("sealed, all CR LF", crlf, loaded, 3, 2);
    row("unsealed", station_text(bands(2), points(3)), exit, 0, 0);
    row("a point changed", replaced(good, "146025", "146050"), exit, 0, 0);
    row("a line feed added", replaced(good, "/>\n<POINT", "/>\n\n<POINT"), exit, 0, 0);
    row("band text moved into TUN",
        replaced(replaced(good, "[DIAPAZON_FREQ]= [", "[X]= ["), "[TUN]", "[DIAPAZON_FREQ]"), exit,
        0, 0);
    row("no POINT", sealed(station_text(bands(2), "\n")), exit, 0, 0);
    row("POINTs without Adress",
        sealed(station_text(bands(2), "<POINT Freq=\"1\" U=\"1\" id=\"1\" />")), exit, 0, 0);
    row("128 POINTs", sealed(station_text(bands(1), points(128))), loaded, 128, 1);
    row("129 POINTs", sealed(station_text(bands(1), points(129))), exit, 0, 0);
    row("no DIAPAZON", sealed(station_text("", points(3))), exit, 0, 0);
    row("DIAPAZON without shag_setki",
        sealed(station_text("<DIAPAZON id=\"1\" freq_start=\"1\" />", points(3))), exit, 0, 0);
    row("100 DIAPAZON", sealed(station_text(bands(100), points(3))), loaded, 3, 100);
    row("101 DIAPAZON: empty band table", sealed(station_text(bands(101), points(3))), loaded, 3,
        0);
    row("grid step 0 or negative dropped",
        sealed(station_text(band_row(1, 1, 2, "25") + band_row(1, 3, 4, "0")
                                + band_row(1, 5, 6, "-25") + band_row(2, 7, 8, "x")
                                + band_row(2, 9, 10, "12"),
                            points(3))),
        loaded, 3, 2);
    row("every grid step 0", sealed(station_text(band_row(1, 1, 2, "0"), points(3))), loaded, 3, 0);
    row("nested and lower-case POINT not counted",
        sealed(station_text(bands(1), "<A><POINT Adress=\"1\"/></A><point Adress=\"2\"/>"
                                      "<POINT Adress=\"3\"/>")),
        loaded, 1, 1);
}

void TestStationLoader::verdict()
{
    QFETCH(QByteArray, file);
    QFETCH(StationLoadResult, verdict);
    QFETCH(int, tun_count);
    QFETCH(int, band_count);
    QVERIFY(!file.isEmpty());  // sealing of the fixture worked

    StationDir dir;
    dir.write(conf_name, s(file));
    STATION_CONFIG conf;
    QCOMPARE(dir.load(conf), verdict);
    if (verdict == StationLoadResult::ExitSilently)
        return;
    QCOMPARE(conf.tun_count, tun_count);
    QCOMPARE(conf.band_count, band_count);
    for (int i = 0; i < conf.band_count; ++i)
        QVERIFY(conf.bands[i].shag_setki > 0);
    QVERIFY(all_zero(conf.bands + conf.band_count,
                     sizeof(STATION_BAND) * size_t(STATION_MAX_BANDS - conf.band_count)));
    QVERIFY(all_zero(conf.tun + conf.tun_count,
                     sizeof(TUN_POINT) * size_t(STATION_MAX_TUN - conf.tun_count)));
}

void TestStationLoader::missing_or_pairless_file_gets_template_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("missing") << false << QByteArray();
    QTest::newRow("empty") << true << QByteArray();
    QTest::newRow("no recognisable pair") << true << QByteArray("[TUN] = <POINT/>");
}

void TestStationLoader::missing_or_pairless_file_gets_template()
{
    QFETCH(bool, present);
    QFETCH(QByteArray, file);
    StationDir dir;
    if (present)
        dir.write(conf_name, s(file));
    STATION_CONFIG conf;
    QCOMPARE(dir.load(conf), StationLoadResult::ExitSilently);
    QCOMPARE(dir.read(conf_name), QByteArray("[DIAPAZON_FREQ]= []\r\n"
                                             "[TUN]= [\r\n"
                                             "<POINT Freq=\"148000\" U=\"1.75\" />\r\n"
                                             "<POINT Freq=\"161000\" U=\"2.4\" />\r\n"
                                             "<POINT Freq=\"173000\" U=\"2.8\" />\r\n"
                                             "]\r\n"));
    // The gate comes first: the port settings file is not even looked at.
    QVERIFY(!dir.exists(port_name));
}

void TestStationLoader::point_values_data()
{
    QTest::addColumn<QByteArray>("freq");
    QTest::addColumn<QByteArray>("u");
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<QByteArray>("adress");
    QTest::addColumn<int>("Freq");
    QTest::addColumn<double>("U");
    QTest::addColumn<int>("Id");
    QTest::addColumn<int>("Adress");
    QTest::newRow("Adress 152 kept")
        << QByteArray("146000") << QByteArray("1.75") << QByteArray("1") << QByteArray("152")
        << 146000 << 1.75 << 1 << 152;
    QTest::newRow("Adress 153 outside") << QByteArray("1") << QByteArray("1") << QByteArray("2")
                                        << QByteArray("153") << 1 << 1.0 << 2 << 255;
    QTest::newRow("Adress 300 low byte") << QByteArray("1") << QByteArray("1") << QByteArray("1")
                                         << QByteArray("300") << 1 << 1.0 << 1 << 44;
    QTest::newRow("Adress -1 outside") << QByteArray("1") << QByteArray("1") << QByteArray("1")
                                       << QByteArray("-1") << 1 << 1.0 << 1 << 255;
    QTest::newRow("U 2.4 single precision")
        << QByteArray("160000") << QByteArray("2.4") << QByteArray("1") << QByteArray("0") << 160000
        << 2.4000000953674316 << 1 << 0;
    QTest::newRow("id low byte") << QByteArray("1") << QByteArray("1") << QByteArray("257")
                                 << QByteArray("1") << 1 << 1.0 << 1 << 1;
    QTest::newRow("not numbers") << QByteArray("abc") << QByteArray("x2") << QByteArray("")
                                 << QByteArray("q") << 0 << 0.0 << 0 << 0;
    QTest::newRow("U not finite") << QByteArray("1") << QByteArray("nan") << QByteArray("1")
                                  << QByteArray("1") << 1 << 0.0 << 1 << 1;
    QTest::newRow("U beyond single range")
        << QByteArray("1") << QByteArray("1e99") << QByteArray("1") << QByteArray("1") << 1 << 0.0
        << 1 << 1;
    QTest::newRow("blanks and tails")
        << QByteArray(" 33000kHz") << QByteArray(" 1.2 V") << QByteArray("2") << QByteArray("117")
        << 33000 << double(1.2f) << 2 << 117;
}

void TestStationLoader::point_values()
{
    QFETCH(QByteArray, freq);
    QFETCH(QByteArray, u);
    QFETCH(QByteArray, id);
    QFETCH(QByteArray, adress);
    QFETCH(int, Freq);
    QFETCH(double, U);
    QFETCH(int, Id);
    QFETCH(int, Adress);
    const std::string tun = "<POINT Freq=\"" + s(freq) + "\" U=\"" + s(u) + "\" id=\"" + s(id)
                            + "\" Adress=\"" + s(adress) + "\" />";
    StationDir dir;
    dir.write(conf_name, sealed(station_text(bands(1), tun)));
    STATION_CONFIG conf;
    QCOMPARE(dir.load(conf), StationLoadResult::Loaded);
    QCOMPARE(conf.tun_count, 1);
    QCOMPARE(conf.tun[0].Freq, Freq);
    QCOMPARE(conf.tun[0].U, U);
    QCOMPARE(int(conf.tun[0].id), Id);
    QCOMPARE(int(conf.tun[0].Adress), Adress);
}

// Lists are read at the same positions; a value past the end of its list reads as 0.
void TestStationLoader::missing_attributes_read_as_zero()
{
    const std::string tun = "<POINT Freq=\"1\" U=\"1\" id=\"1\" Adress=\"1\" />\n"
                            "<POINT Adress=\"2\" />\n"
                            "<POINT Freq=\"3\" U=\"3\" Adress=\"3\" />\n";
    const std::string band = "<DIAPAZON id=\"1\" freq_start=\"100\" shag_setki=\"25\" />";
    StationDir dir;
    dir.write(conf_name, sealed(station_text(band, tun)));
    STATION_CONFIG conf;
    QCOMPARE(dir.load(conf), StationLoadResult::Loaded);
    QCOMPARE(conf.tun_count, 3);
    QCOMPARE(conf.tun[1].Freq, 3);
    QCOMPARE(conf.tun[2].Freq, 0);
    QCOMPARE(conf.tun[2].U, 0.0);
    QCOMPARE(int(conf.tun[1].id), 0);
    QCOMPARE(int(conf.tun[2].Adress), 3);
    QCOMPARE(conf.band_count, 1);
    QCOMPARE(conf.bands[0].freq_start, 100);
    QCOMPARE(conf.bands[0].freq_end, 0);
    QCOMPARE(conf.bands[0].shag_setki, 25);
}

void TestStationLoader::bands_in_file_order()
{
    const std::string band = band_row(2, 33000, 40975, "25") + band_row(1, 146000, 159975, "0")
                             + band_row(1, 160000, 174000, "12");
    StationDir dir;
    dir.write(conf_name, sealed(station_text(band, points(2))));
    STATION_CONFIG conf;
    QCOMPARE(dir.load(conf), StationLoadResult::Loaded);
    QCOMPARE(conf.band_count, 2);
    QCOMPARE(int(conf.bands[0].id), 2);
    QCOMPARE(conf.bands[0].freq_start, 33000);
    QCOMPARE(conf.bands[1].freq_start, 160000);
    QCOMPARE(conf.bands[1].shag_setki, 12);
    QCOMPARE(conf.bands[1].delta_freq_enc_prm, -21400);
    QCOMPARE(conf.bands[1].delta_freq_dec_prm, 21400);
}

void TestStationLoader::port_settings_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("baud");
    QTest::addColumn<QByteArray>("after");  // file content afterwards

    const QByteArray tmpl = "[Com_Port_Name]= [COM1]\r\n[Com_Port_BaudRate]= [9600]\r\n";
    QTest::newRow("missing: template")
        << false << QByteArray() << QByteArray("COM1") << 9600 << tmpl;
    QTest::newRow("no pair: template")
        << true << QByteArray("COM3 19200") << QByteArray("COM1") << 9600 << tmpl;
    const QByteArray own = "[com_port_name]= [COM10]\n[COM_PORT_BAUDRATE]= [ 19200x]\n";
    QTest::newRow("lower-case keys") << true << own << QByteArray("COM10") << 19200 << own;
    QTest::newRow("no baud key") << true << QByteArray("[Com_Port_Name]= [/dev/ttyUSB0]")
                                 << QByteArray("/dev/ttyUSB0") << 0
                                 << QByteArray("[Com_Port_Name]= [/dev/ttyUSB0]");
    QTest::newRow("no name key") << true << QByteArray("[Com_Port_BaudRate]= [4800]")
                                 << QByteArray() << 4800
                                 << QByteArray("[Com_Port_BaudRate]= [4800]");
    const QByteArray by_id = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    QTest::newRow("stable device name kept") << true << "[Com_Port_Name]= [" + by_id + "]" << by_id
                                             << 0 << "[Com_Port_Name]= [" + by_id + "]";
    const QByteArray longest(STATION_PORT_NAME_MAX, 'x');
    QTest::newRow("longest name kept") << true << "[Com_Port_Name]= [" + longest + "]" << longest
                                       << 0 << "[Com_Port_Name]= [" + longest + "]";
    const QByteArray too_long(STATION_PORT_NAME_MAX + 1, 'x');
    QTest::newRow("longer than a port name refused")
        << true << "[Com_Port_Name]= [" + too_long + "]" << QByteArray() << 0
        << "[Com_Port_Name]= [" + too_long + "]";
}

void TestStationLoader::port_settings()
{
    QFETCH(bool, present);
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, name);
    QFETCH(int, baud);
    QFETCH(QByteArray, after);
    StationDir dir;
    dir.write(conf_name, sealed(station_text(bands(1), points(2))));
    if (present)
        dir.write(port_name, s(file));
    STATION_CONFIG conf;
    QCOMPARE(dir.load(conf), StationLoadResult::Loaded);
    QCOMPARE(QByteArray(conf.Com_Port_Name), name);
    QVERIFY(all_zero(conf.Com_Port_Name + name.size(), sizeof conf.Com_Port_Name - name.size()));
    QCOMPARE(conf.Com_Port_BaudRate, baud);
    QCOMPARE(dir.read(port_name), after);
}

void TestStationLoader::null_record_does_nothing()
{
    StationDir dir;
    QCOMPARE(read_station_conf_from_file(nullptr, dir.path()), StationLoadResult::Loaded);
    QVERIFY(!dir.exists(conf_name));
    QVERIFY(!dir.exists(port_name));
}

QTEST_GUILESS_MAIN(TestStationLoader)
#include "tst_loader.moc"
