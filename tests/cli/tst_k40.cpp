// The command-line programmer end to end: offline commands over hand-made images, and the
// radio commands against the simulated radio, healthy and faulty.

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSerialPort>
#include <QStandardPaths>
#include <QtTest>

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "../ui_operations/operations_fixture.h"
#include "image_codec.h"
#include "image_map.h"
#include "k40.h"
#include "k40_fixture.h"
#include "port_survey.h"
#include "settings_report.h"
#include "station_loader.h"

namespace {

// The sample radio with some fields set to known values, encoded by the codec.
QByteArray known_image(const STATION_CONFIG &st)
{
    ModelContext ctx;
    ctx.station = &st;
    const QByteArray sample = shipped_sample();
    RS_EEPROM_IMAGE base{}, out{};
    std::memcpy(base.bytes, sample.constData(), RS_IMAGE_SIZE);
    RS_CONF conf{};
    if (!decode_image(ctx, base, conf))
        return {};
    conf.f_prm[0] = 151000;
    conf.f_prd[0] = 155500;
    conf.koder[RS_CHANNEL_R] = 5;
    conf.ph[RS_PH_CHANNEL_R] = 4;
    conf.ctcss_prd = 103.5;
    conf.vt_prm = 2100;
    conf.ur_gromk = 25;
    conf.microphone = 31;
    conf.n_rab_kanala = 7;
    if (!encode_image(ctx, conf, base, out, true))
        return {};
    return QByteArray(reinterpret_cast<const char *>(out.bytes), RS_IMAGE_SIZE);
}

QByteArray with_byte(QByteArray image, int address, uint8_t value)
{
    image[address] = static_cast<char>(value);
    return image;
}

QJsonObject json_of(const QString &text) { return QJsonDocument::fromJson(text.toUtf8()).object(); }

// Texts of standard error in order, each present.
bool in_order(const QString &err, const QStringList &texts)
{
    int at = 0;
    for (const QString &t : texts) {
        at = err.indexOf(t, at);
        if (at < 0)
            return false;
        at += t.size();
    }
    return true;
}

const QString OK = QStringLiteral("Запрограммировали - OK!");

// One set of names wherever a field or a byte changes, in diff and in a dry run.
const QStringList FIELD_KEYS{QStringLiteral("field"), QStringLiteral("from"),
                             QStringLiteral("label"), QStringLiteral("to")};
const QStringList ADDRESS_KEYS{QStringLiteral("address"), QStringLiteral("from"),
                               QStringLiteral("to")};

// Why the programmer cannot open the port.
enum PortTrouble {
    NoDevice,
    HeldByAnother,
    NoPermission,
    PlainFile,
    Folder,
    NotATerminal,
    OwnerOnly,   // root's device, its group may not use it
    GroupMayUse  // a group that may read and write it
};

}  // namespace

Q_DECLARE_METATYPE(PortTrouble)

class TestK40 : public QObject {
    Q_OBJECT
private slots:
    void show_known_fields();
    void diff_data();
    void diff();
    void usage_and_file_errors_data();
    void usage_and_file_errors();
    void unsealed_station_is_refused();
    void ports_lists_the_survey();
    void conventions_data();
    void conventions();
    void failed_result_write_data();
    void failed_result_write();
    void report_equals_the_windows();

    void read_saves_the_radio_image();
    void program_then_verify_with_backup();
    void read_and_program_through_an_adapter_data();
    void read_and_program_through_an_adapter();
    void stable_device_name_data();
    void stable_device_name();
    void dry_run_writes_nothing();
    void failing_backup_folder_writes_nothing();
    void failed_program_prints_restore_that_restores_data();
    void failed_program_prints_restore_that_restores();
    void file_for_another_band_is_refused_data();
    void file_for_another_band_is_refused();
    void port_failures_say_why_data();
    void port_failures_say_why();
    void trace_records_frames_and_line_events();
};

void TestK40::show_known_fields()
{
    K40Fixture f;
    const QByteArray image = known_image(station_of(f));
    QVERIFY(!image.isEmpty());
    QVERIFY(put_file(f.path(QStringLiteral("known.eep")), image));

    const K40Result r = f.run(
        {QStringLiteral("show"), QStringLiteral("known.eep"), QStringLiteral("--json")});
    QCOMPARE(r.status, int(K40_OK));
    const QJsonObject o = json_of(r.out);
    QCOMPARE(o[QStringLiteral("band")].toInt(), 1);
    const QJsonArray ch = o[QStringLiteral("channels")].toArray();
    QCOMPARE(ch.size(), 9);
    QCOMPARE(ch[0].toObject()[QStringLiteral("rx_khz")].toInt(), 151000);
    QCOMPARE(ch[0].toObject()[QStringLiteral("tx_khz")].toInt(), 155500);
    QCOMPARE(ch[8].toObject()[QStringLiteral("channel")].toString(), QStringLiteral("R"));
    QCOMPARE(ch[8].toObject()[QStringLiteral("scrambler")].toInt(), 5);
    QCOMPARE(ch[8].toObject()[QStringLiteral("squelch_text")].toString(),
             QStringLiteral("Высокий с CTCSS"));
    QCOMPARE(o[QStringLiteral("ctcss_tx_hz")].toDouble(), 103.5);
    QCOMPARE(o[QStringLiteral("call_tone_rx_hz")].toDouble(), 2100.0);
    QCOMPARE(o[QStringLiteral("volume")].toInt(), 25);
    QCOMPARE(o[QStringLiteral("microphone")].toInt(), 31);
    QCOMPARE(o[QStringLiteral("working_channel")].toInt(), 7);
    QCOMPARE(o[QStringLiteral("forbidden")].toBool(), false);

    const K40Result text = f.run({QStringLiteral("show"), QStringLiteral("known.eep")});
    QCOMPARE(text.status, int(K40_OK));
    QVERIFY2(text.out.contains(QStringLiteral("Уровень громкости: 25")), qPrintable(text.out));
    QVERIFY(text.out.contains(QStringLiteral("151.000")));
    QVERIFY(text.out.contains(QStringLiteral("Прием, МГц")));
    QVERIFY(text.out.contains(QStringLiteral("Передача, МГц")));
    QVERIFY(text.out.contains(QStringLiteral("103.5")));
    QVERIFY(text.out.contains(QStringLiteral("Ключ 5")));

    // A desktop with a decimal comma changes no number.
    const QStringList russian{QStringLiteral("env"), QStringLiteral("LC_ALL=ru_RU.UTF-8"),
                              QStringLiteral("LANG=ru_RU.UTF-8")};
    QCOMPARE(f.run({QStringLiteral("show"), QStringLiteral("known.eep")}, russian).out, text.out);
    QCOMPARE(f.run({QStringLiteral("show"), QStringLiteral("known.eep"), QStringLiteral("--json")},
                   russian)
                 .out,
             r.out);
}

void TestK40::diff_data()
{
    QTest::addColumn<int>("address");  // -1: the known image against the sample
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("json_fields");
    QTest::addColumn<QList<int>>("json_addresses");

    QTest::newRow("same") << 0 << -1 << int(K40_OK) << QStringList() << QStringList()
                          << QList<int>();
    QTest::newRow("fields") << -1 << 0 << int(K40_DIFFERENT)
                            << QStringList{QStringLiteral(
                                               "Канал 1, частота приема: 150.025 -> 151.000"),
                                           QStringLiteral("Уровень громкости: 22 -> 25")}
                            << QStringList{QStringLiteral("channel_1.rx_khz"),
                                           QStringLiteral("channel_1.tx_khz"),
                                           QStringLiteral("channel_R.scrambler"),
                                           QStringLiteral("channel_R.squelch"),
                                           QStringLiteral("ctcss_tx_hz"),
                                           QStringLiteral("call_tone_rx_hz"),
                                           QStringLiteral("volume"),
                                           QStringLiteral("microphone"),
                                           QStringLiteral("working_channel")}
                            << QList<int>();
    // A factory byte no field shows.
    QTest::newRow("kept byte") << 61 << 0xA5 << int(K40_DIFFERENT)
                               << QStringList{QStringLiteral("Прочие отличающиеся адреса:"),
                                              QStringLiteral("адрес  61:")}
                               << QStringList() << QList<int>{61};
}

void TestK40::diff()
{
    QFETCH(int, address);
    QFETCH(int, value);
    QFETCH(int, status);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, json_fields);
    QFETCH(QList<int>, json_addresses);

    K40Fixture f;
    const QByteArray a = shipped_sample();
    const QByteArray b = address < 0 ? known_image(station_of(f))
                         : value < 0 ? a
                                     : with_byte(a, address, uint8_t(value));
    QVERIFY(put_file(f.path(QStringLiteral("a.eep")), a));
    QVERIFY(put_file(f.path(QStringLiteral("b.eep")), b));

    const K40Result r = f.run(
        {QStringLiteral("diff"), QStringLiteral("a.eep"), QStringLiteral("b.eep")});
    QCOMPARE(r.status, status);
    for (const QString &line : lines)
        QVERIFY2(r.out.contains(line), qPrintable(r.out));
    if (status == K40_OK)
        QVERIFY(r.out.isEmpty());

    const K40Result j = f.run({QStringLiteral("diff"), QStringLiteral("a.eep"),
                               QStringLiteral("b.eep"), QStringLiteral("--json")});
    QCOMPARE(j.status, status);
    const QJsonObject o = json_of(j.out);
    QStringList fields;
    for (const QJsonValue &v : o[QStringLiteral("fields")].toArray()) {
        QCOMPARE(v.toObject().keys(), FIELD_KEYS);
        fields << v.toObject()[QStringLiteral("field")].toString();
    }
    QCOMPARE(fields, json_fields);
    QList<int> addresses;
    for (const QJsonValue &v : o[QStringLiteral("addresses")].toArray()) {
        QCOMPARE(v.toObject().keys(), ADDRESS_KEYS);
        addresses << v.toObject()[QStringLiteral("address")].toInt();
        QCOMPARE(v.toObject()[QStringLiteral("from")].toInt(), int(uint8_t(a[addresses.last()])));
        QCOMPARE(v.toObject()[QStringLiteral("to")].toInt(), int(uint8_t(b[addresses.last()])));
    }
    QCOMPARE(addresses, json_addresses);
}

void TestK40::usage_and_file_errors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");  // on standard error, or on standard output for help

    const QString s = QStringLiteral("sample.eep");
    QTest::newRow("no command") << QStringList() << int(K40_USAGE) << QStringLiteral("Команды:");
    QTest::newRow("unknown command") << QStringList{QStringLiteral("flash")} << int(K40_USAGE)
                                     << QStringLiteral("неизвестная команда flash");
    QTest::newRow("unknown option first") << QStringList{QStringLiteral("-x")} << int(K40_USAGE)
                                          << QStringLiteral("неизвестный параметр -x");
    QTest::newRow("version with an argument")
        << QStringList{QStringLiteral("--version"), s} << int(K40_USAGE)
        << QStringLiteral("--version не принимает аргументов");
    QTest::newRow("unknown option")
        << QStringList{QStringLiteral("show"), s, QStringLiteral("--xml")} << int(K40_USAGE)
        << QStringLiteral("неизвестный параметр --xml");
    QTest::newRow("no output") << QStringList{QStringLiteral("report"), s} << int(K40_USAGE)
                               << QStringLiteral("-o ФАЙЛ");
    QTest::newRow("extra argument") << QStringList{QStringLiteral("show"), s, s} << int(K40_USAGE)
                                    << QStringLiteral("неверное число аргументов");
    QTest::newRow("bad baud") << QStringList{QStringLiteral("verify"), s, QStringLiteral("--baud"),
                                             QStringLiteral("fast")}
                              << int(K40_USAGE) << QStringLiteral("неверная скорость");
    QTest::newRow("help") << QStringList{QStringLiteral("diff"), QStringLiteral("--help")}
                          << int(K40_OK) << QStringLiteral("Использование: k40 diff A B");
    QTest::newRow("help command") << QStringList{QStringLiteral("help"), QStringLiteral("read")}
                                  << int(K40_OK) << QStringLiteral("Использование: k40 read -o");
    QTest::newRow("missing file") << QStringList{QStringLiteral("show"), QStringLiteral("no.eep")}
                                  << int(K40_DATA) << QStringLiteral("нет такого файла");
    QTest::newRow("short file") << QStringList{QStringLiteral("show"), QStringLiteral("short.eep")}
                                << int(K40_DATA) << QStringLiteral("длина 152 байт");
    QTest::newRow("unknown band") << QStringList{QStringLiteral("show"),
                                                 QStringLiteral("band9.eep")}
                                  << int(K40_DATA)
                                  << QStringLiteral("Данный тип радиостанций не поддерживается");
    QTest::newRow("a value the radio cannot hold")
        << QStringList{QStringLiteral("show"), QStringLiteral("loud.eep")} << int(K40_DATA)
        << QStringLiteral("недопустимые значения: Уровень громкости: 31");
    QTest::newRow("no port settings file")
        << QStringList{QStringLiteral("verify"), s} << int(K40_DATA)
        << QStringLiteral("нет файла настроек порта ./torvel.txt: укажите порт (--port ИМЯ)");
    QTest::newRow("report folder missing")
        << QStringList{QStringLiteral("report"), s, QStringLiteral("-o"),
                       QStringLiteral("no/r.html")}
        << int(K40_DATA) << QStringLiteral("нет такого файла или папки");
}

void TestK40::usage_and_file_errors()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, text);
    K40Fixture f;
    QVERIFY(put_file(f.path(QStringLiteral("sample.eep")), shipped_sample()));
    QVERIFY(put_file(f.path(QStringLiteral("short.eep")), shipped_sample().left(152)));
    QVERIFY(put_file(f.path(QStringLiteral("band9.eep")),
                     with_byte(shipped_sample(), ADDR_BAND_CODE, 9)));
    QVERIFY(put_file(f.path(QStringLiteral("loud.eep")),
                     with_byte(shipped_sample(), ADDR_UR_GROMK,
                               uint8_t(shipped_sample()[ADDR_UR_GROMK]) | LEVEL_BITS)));
    const K40Result r = f.run(arguments);
    QCOMPARE(r.status, status);
    QVERIFY2((r.err + r.out).contains(text), qPrintable(r.err + r.out));
}

// The machine's own ports: whatever they are, k40 prints the survey's line for each, in
// order, on standard output, and says so when there is none.
void TestK40::ports_lists_the_survey()
{
    K40Fixture f;
    const K40Result r = f.run({QStringLiteral("ports")});
    QCOMPARE(r.status, int(K40_OK));
    const PortSurvey survey = survey_ports();
    QStringList expected;
    for (const SurveyedPort &p : survey.ports)
        expected << port_line(p);
    QCOMPARE(r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
    QCOMPARE(r.err.contains(QStringLiteral("Последовательные порты не найдены.")),
             survey.ports.empty());
}

void TestK40::conventions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("port_file");  // torvel.txt; none when empty
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");  // on standard output; nothing there when empty
    QTest::addColumn<QString>("err");  // on standard error

    const QString s = QStringLiteral("sample.eep");
    const QByteArray good = "[Com_Port_Name]= [/dev/ttyK40none]\n[Com_Port_BaudRate]= [9600]\n";
    QTest::newRow("--version") << QStringList{QStringLiteral("--version")} << QByteArray()
                               << int(K40_OK) << QStringLiteral("k40 " K40_VERSION "\n")
                               << QString();
    QTest::newRow("-V") << QStringList{QStringLiteral("-V")} << QByteArray() << int(K40_OK)
                        << QStringLiteral("k40 " K40_VERSION "\n") << QString();
    QTest::newRow("-h after a command")
        << QStringList{QStringLiteral("show"), QStringLiteral("-h")} << QByteArray() << int(K40_OK)
        << QStringLiteral("Использование: k40 show ФАЙЛ") << QString();
    QTest::newRow("bare k40") << QStringList() << QByteArray() << int(K40_USAGE) << QString()
                              << QStringLiteral("Использование: k40 КОМАНДА");
    QTest::newRow("help of no command")
        << QStringList{QStringLiteral("help"), QStringLiteral("NOSUCH")} << QByteArray()
        << int(K40_USAGE) << QString() << QStringLiteral("неизвестная команда NOSUCH");
    QTest::newRow("program --json without --dry-run")
        << QStringList{QStringLiteral("program"), s, QStringLiteral("--json")} << good
        << int(K40_USAGE) << QString()
        << QStringLiteral("--json выводит только результат --dry-run");
    QTest::newRow("--baud 1") << QStringList{QStringLiteral("verify"), s, QStringLiteral("--baud"),
                                             QStringLiteral("1")}
                              << good << int(K40_USAGE) << QString()
                              << QStringLiteral("неверная скорость 1; допустимы 1200, 2400");
    QTest::newRow("torvel.txt without a port")
        << QStringList{QStringLiteral("verify"), s} << QByteArray("[[[ garbage\n") << int(K40_DATA)
        << QString() << QStringLiteral("файл настроек порта ./torvel.txt не задает порт");
    QTest::newRow("torvel.txt with a bad speed")
        << QStringList{QStringLiteral("read"), QStringLiteral("-o"), QStringLiteral("r.eep")}
        << QByteArray("[Com_Port_Name]= [/dev/ttyK40none]\n[Com_Port_BaudRate]= [96OO]\n")
        << int(K40_DATA) << QString()
        << QStringLiteral("файл настроек порта ./torvel.txt задает неверную скорость");
    QTest::newRow("trace file in no folder")
        << QStringList{QStringLiteral("verify"), s, QStringLiteral("--trace"),
                       QStringLiteral("no/t.trace")}
        << good << int(K40_DATA) << QString()
        << QStringLiteral("не удалось открыть файл трассировки no/t.trace: нет такого файла или "
                          "папки");
    QTest::newRow("trace file is a folder")
        << QStringList{QStringLiteral("verify"), s, QStringLiteral("--trace=.")} << good
        << int(K40_DATA) << QString()
        << QStringLiteral("не удалось открыть файл трассировки .: это папка");
}

// What scripts and people expect of a command-line program, refused at once where the
// command line or the settings are wrong: nothing here reaches a radio.
void TestK40::conventions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, port_file);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    K40Fixture f;
    QVERIFY(put_file(f.path(QStringLiteral("sample.eep")), shipped_sample()));
    if (!port_file.isEmpty())
        QVERIFY(put_file(f.path(QStringLiteral("torvel.txt")), port_file));
    QElapsedTimer t;
    t.start();
    const K40Result r = f.run(arguments);
    QCOMPARE(r.status, status);
    QVERIFY2(t.elapsed() < 3000, "no port is opened before refusing");
    if (out.isEmpty())
        QVERIFY2(r.out.isEmpty(), qPrintable(r.out));
    else
        QVERIFY2(r.out.contains(out), qPrintable(r.out));
    QVERIFY2(r.err.contains(err), qPrintable(r.err));
}

void TestK40::failed_result_write_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("full_disk");  // else a pipe nobody reads
    QTest::addColumn<QString>("reason");
    const QStringList show{QStringLiteral("show"), QStringLiteral("sample.eep")};
    const QStringList help{QStringLiteral("--help")};
    QTest::newRow("show, full disk") << show << true << QStringLiteral("нет места на диске");
    QTest::newRow("show, closed pipe")
        << show << false << QStringLiteral("канал закрыт читающей стороной");
    QTest::newRow("help, full disk") << help << true << QStringLiteral("нет места на диске");
    QTest::newRow("json, closed pipe") << (show + QStringList{QStringLiteral("--json")}) << false
                                       << QStringLiteral("канал закрыт читающей стороной");
}

// Results that never reached their reader are a failure of the command.
void TestK40::failed_result_write()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, full_disk);
    QFETCH(QString, reason);
    K40Fixture f;
    QVERIFY(put_file(f.path(QStringLiteral("sample.eep")), shipped_sample()));
    int pipe_ends[2] = {-1, -1};
    QVERIFY(::pipe(pipe_ends) == 0);
    ::close(pipe_ends[0]);  // the reader is gone before the first byte
    QProcess p;
    p.setWorkingDirectory(f.dir.path());
    if (full_disk) {
        p.setStandardOutputFile(QStringLiteral("/dev/full"));
    } else {
        const int writer = pipe_ends[1];
        p.setChildProcessModifier([writer] { ::dup2(writer, STDOUT_FILENO); });
    }
    p.start(QStringLiteral(K40_CLI), arguments);
    QVERIFY(p.waitForFinished(30000));
    ::close(pipe_ends[1]);
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), int(K40_DATA));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(err.contains(QStringLiteral("не удалось записать результат в стандартный вывод: ")
                          + reason),
             qPrintable(err));
}

void TestK40::unsealed_station_is_refused()
{
    K40Fixture f;
    QVERIFY(put_file(f.path(QStringLiteral("sample.eep")), shipped_sample()));
    QByteArray station = file_bytes(f.path(QStringLiteral("torvel.configuration.K40")));
    station.replace("146000", "146025");
    QVERIFY(put_file(f.path(QStringLiteral("edited.K40")), station));

    const K40Result r = f.run({QStringLiteral("show"), QStringLiteral("sample.eep"),
                               QStringLiteral("--station"), QStringLiteral("edited.K40")});
    QCOMPARE(r.status, int(K40_DATA));
    QVERIFY(r.err.contains(QStringLiteral("edited.K40 не прошел проверку контрольной суммы")));
    QVERIFY(r.out.isEmpty());
    // Nothing was written beside it, unlike the window's template.
    QVERIFY(!QFile::exists(f.path(QStringLiteral("torvel.txt"))));
}

void TestK40::report_equals_the_windows()
{
    K40Fixture f;
    const QByteArray image = known_image(station_of(f));
    QVERIFY(put_file(f.path(QStringLiteral("known.eep")), image));
    const K40Result r = f.run({QStringLiteral("report"), QStringLiteral("known.eep"),
                               QStringLiteral("-o"), QStringLiteral("out.html")});
    QCOMPARE(r.status, int(K40_OK));

    WindowFixture w;
    w.dialogs.file_names << f.path(QStringLiteral("known.eep"));
    w.w().run_operation(2000);
    QCOMPARE(w.last_message(), QStringLiteral("Конфигурация успешно считана из файла."));
    QCOMPARE(file_bytes(f.path(QStringLiteral("out.html"))), settings_report(w.w().form_texts()));
}

void TestK40::read_saves_the_radio_image()
{
    K40Fixture f;
    QVERIFY(f.start_radio(shipped_sample()));
    const K40Result r = f.run_radio(
        {QStringLiteral("read"), QStringLiteral("-o"), QStringLiteral("radio.eep")});
    QVERIFY2(r.status == K40_OK, qPrintable(r.err));
    QCOMPARE(file_bytes(f.path(QStringLiteral("radio.eep"))), shipped_sample());
    QVERIFY2(
        in_order(r.err, {QStringLiteral("Пожалуйта подождите: получение настроек из радиостанции"),
                         QStringLiteral("Параметры считаны."), QStringLiteral("radio.eep")}),
        qPrintable(r.err));
    QVERIFY(f.radio->write_packets().empty());
}

void TestK40::program_then_verify_with_backup()
{
    K40Fixture f;
    QVERIFY(f.start_radio(shipped_sample()));
    const QByteArray known = known_image(station_of(f));
    QVERIFY(put_file(f.path(QStringLiteral("known.eep")), known));

    const K40Result before = f.run_radio({QStringLiteral("verify"), QStringLiteral("known.eep")});
    QCOMPARE(before.status, int(K40_DIFFERENT));
    QVERIFY(before.out.contains(QStringLiteral("НЕ содержит")));

    const K40Result r = f.run_radio({QStringLiteral("program"), QStringLiteral("known.eep")});
    QCOMPARE(r.status, int(K40_OK));
    QVERIFY2(in_order(r.err, {QStringLiteral("сохранение настроек в радиостанцию"),
                              QStringLiteral("Резервная копия радиостанции: ./backups/K40-"), OK}),
             qPrintable(r.err));
    // Programming keeps the radio's stored working channel and switches the running radio.
    QCOMPARE(f.radio_image(), with_byte(known, ADDR_N_RAB_KANALA, uint8_t(shipped_sample()[60])));
    QCOMPARE(int(f.radio->state().nk), 7);

    const QStringList backups = f.backups();
    QCOMPARE(backups.size(), 1);
    QVERIFY(QRegularExpression(QStringLiteral("^K40-\\d{8}-\\d{6}\\.eep$"))
                .match(backups[0])
                .hasMatch());
    QCOMPARE(file_bytes(f.path(QStringLiteral("backups/") + backups[0])), shipped_sample());

    const K40Result after = f.run_radio({QStringLiteral("verify"), QStringLiteral("known.eep")});
    QCOMPARE(after.status, int(K40_OK));
    QVERIFY(
        after.out.contains(QStringLiteral("Радиостанция содержит конфигурацию файла known.eep")));

    // The radio against the file: only the working channel the radio keeps differs.
    const K40Result d = f.run_radio({QStringLiteral("diff"), QStringLiteral("radio"),
                                     QStringLiteral("known.eep"), QStringLiteral("--json")});
    QCOMPARE(d.status, int(K40_DIFFERENT));
    const QJsonArray changed = json_of(d.out)[QStringLiteral("fields")].toArray();
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed[0].toObject()[QStringLiteral("field")].toString(),
             QStringLiteral("working_channel"));

    // A second run keeps its own copy (names within one second: the file operations' test).
    const K40Result again = f.run_radio({QStringLiteral("program"), QStringLiteral("known.eep")});
    QCOMPARE(again.status, int(K40_OK));
    QCOMPARE(f.backups().size(), 2);
}

void TestK40::read_and_program_through_an_adapter_data()
{
    QTest::addColumn<int>("adapter");  // the adapter's latency timer, ms
    QTest::addColumn<int>("start");    // the radio's start delay, ms
    QTest::newRow("16 ms, radio 9 ms") << 16 << 9;
    QTest::newRow("32 ms, radio 8 ms") << 32 << 8;
    QTest::newRow("Bluetooth 64 ms, radio 10 ms") << 64 << 10;
}

// The cables technicians use hold short answers back. run(), not run_radio(): a retry on no
// answer would hide exactly this failure.
void TestK40::read_and_program_through_an_adapter()
{
    QFETCH(int, adapter);
    QFETCH(int, start);
    K40Fixture f;
    QVERIFY(f.start_radio(shipped_sample(), SimFaults(), adapter, start));
    const K40Result r = f.run(
        {QStringLiteral("read"), QStringLiteral("-o"), QStringLiteral("radio.eep")});
    QVERIFY2(r.status == K40_OK, qPrintable(r.err));
    QCOMPARE(file_bytes(f.path(QStringLiteral("radio.eep"))), shipped_sample());

    const QByteArray known = known_image(station_of(f));
    QVERIFY(put_file(f.path(QStringLiteral("known.eep")), known));
    const K40Result p = f.run({QStringLiteral("program"), QStringLiteral("known.eep")});
    QVERIFY2(p.status == K40_OK && p.err.contains(OK), qPrintable(p.err));
    QCOMPARE(f.radio_image(), with_byte(known, ADDR_N_RAB_KANALA, uint8_t(shipped_sample()[60])));
    QCOMPARE(int(f.radio->state().nk), 7);
}

void TestK40::stable_device_name_data()
{
    QTest::addColumn<bool>("option");  // named by --port, torvel.txt naming another port
    QTest::newRow("in torvel.txt") << false;
    QTest::newRow("--port") << true;
}

// A technician names the cable by its link under /dev/serial/by-id/, far longer than the
// 31 characters the port name once had.
void TestK40::stable_device_name()
{
    QFETCH(bool, option);
    K40Fixture f;
    const QString link = f.path(QStringLiteral(
        "serial/by-id/usb-Silicon_Labs_CP2102_USB_to_UART_Bridge_Controller_0001-if00-port0"));
    QVERIFY(QDir().mkpath(QFileInfo(link).path()));
    QVERIFY(QFileInfo(link).fileName().size() > 60);
    QVERIFY(f.start_radio(shipped_sample(), SimFaults(), 0, 0, link));
    QStringList arguments{QStringLiteral("read"), QStringLiteral("-o"), QStringLiteral("r.eep")};
    if (option) {
        QVERIFY(put_file(f.path(QStringLiteral("torvel.txt")),
                         "[Com_Port_Name]= [/dev/ttyK40none]\n[Com_Port_BaudRate]= [9600]\n"));
        arguments << QStringLiteral("--port") << link;
    }
    const K40Result r = f.run_radio(arguments);
    QVERIFY2(r.status == K40_OK, qPrintable(r.err));
    QCOMPARE(file_bytes(f.path(QStringLiteral("r.eep"))), shipped_sample());
}

void TestK40::file_for_another_band_is_refused_data()
{
    QTest::addColumn<QStringList>("arguments");
    const QString file = QStringLiteral("band2.eep");
    QTest::newRow("verify") << QStringList{QStringLiteral("verify"), file};
    QTest::newRow("program") << QStringList{QStringLiteral("program"), file};
    QTest::newRow("dry run") << QStringList{QStringLiteral("program"), file,
                                            QStringLiteral("--dry-run")};
}

// A configuration the radio cannot take is a data error, not a line failure, and nothing
// is written or backed up.
void TestK40::file_for_another_band_is_refused()
{
    QFETCH(QStringList, arguments);
    K40Fixture f;
    QVERIFY(f.start_radio(shipped_sample()));
    const QByteArray band2 = file_bytes(QStringLiteral(K40_SOURCE_DIR "/data/sample-band2.eep"));
    QCOMPARE(int(band2[ADDR_BAND_CODE]), 2);
    QVERIFY(put_file(f.path(QStringLiteral("band2.eep")), band2));

    const K40Result r = f.run_radio(arguments);
    QCOMPARE(r.status, int(K40_DATA));
    QVERIFY2(!r.err.contains(OK), qPrintable(r.err));
    // The window's buttons are not here.
    QVERIFY2(!r.err.contains(QStringLiteral("Нажмите")), qPrintable(r.err));
    QVERIFY(!r.out.contains(QStringLiteral("содержит конфигурацию")));
    QCOMPARE(f.radio_image(), shipped_sample());
    QVERIFY(f.backups().isEmpty());
}

void TestK40::dry_run_writes_nothing()
{
    K40Fixture f;
    QVERIFY(f.start_radio(shipped_sample()));
    QVERIFY(put_file(f.path(QStringLiteral("b.eep")),
                     with_byte(shipped_sample(), ADDR_UR_GROMK,
                               uint8_t((shipped_sample()[ADDR_UR_GROMK] & ~LEVEL_BITS) | 25))));
    const K40Result r = f.run_radio({QStringLiteral("program"), QStringLiteral("b.eep"),
                                     QStringLiteral("--dry-run"), QStringLiteral("--json")});
    QCOMPARE(r.status, int(K40_OK));
    const QJsonObject o = json_of(r.out);
    const QJsonArray writes = o[QStringLiteral("writes")].toArray();
    QCOMPARE(writes.size(), 1);
    QCOMPARE(writes[0].toObject()[QStringLiteral("address")].toInt(), ADDR_UR_GROMK);
    const QJsonObject volume = o[QStringLiteral("fields")].toArray()[0].toObject();
    QCOMPARE(volume.keys(), FIELD_KEYS);
    QCOMPARE(volume[QStringLiteral("field")].toString(), QStringLiteral("volume"));
    QCOMPARE(volume[QStringLiteral("from")].toInt(), 22);
    QCOMPARE(volume[QStringLiteral("to")].toInt(), 25);
    QCOMPARE(writes[0].toObject()[QStringLiteral("to")].toInt(),
             int(uint8_t(shipped_sample()[ADDR_UR_GROMK] & ~LEVEL_BITS) | 25));
    // verify speaks of the same change in the same names.
    const K40Result v = f.run_radio(
        {QStringLiteral("verify"), QStringLiteral("b.eep"), QStringLiteral("--json")});
    QCOMPARE(v.status, int(K40_DIFFERENT));
    const QJsonObject held = json_of(v.out);
    QCOMPARE(held[QStringLiteral("holds")].toBool(true), false);
    QCOMPARE(held[QStringLiteral("fields")].toArray()[0].toObject(), volume);
    QCOMPARE(held[QStringLiteral("bytes")].toArray()[0].toObject(), writes[0].toObject());
    QVERIFY(f.radio->write_packets().empty());
    QCOMPARE(f.radio_image(), shipped_sample());
    QVERIFY(f.backups().isEmpty());
    QVERIFY(!r.err.contains(OK));
}

void TestK40::failing_backup_folder_writes_nothing()
{
    K40Fixture f;
    QVERIFY(f.start_radio(shipped_sample()));
    QVERIFY(put_file(f.path(QStringLiteral("known.eep")), known_image(station_of(f))));
    QVERIFY(put_file(f.path(QStringLiteral("backups")), "not a folder"));

    const K40Result r = f.run_radio({QStringLiteral("program"), QStringLiteral("known.eep")});
    QCOMPARE(r.status, int(K40_DATA));
    QVERIFY2(r.err.contains(QStringLiteral("не удалось сохранить резервную копию ./backups/K40-")),
             qPrintable(r.err));
    QVERIFY(r.err.contains(QStringLiteral("В радиостанцию ничего не записано")));
    QVERIFY(!r.err.contains(OK));
    QVERIFY(f.radio->write_packets().empty());
    QCOMPARE(f.radio_image(), shipped_sample());
}

void TestK40::failed_program_prints_restore_that_restores_data()
{
    QTest::addColumn<QString>("fault");  // the simulated radio's fault option
    QTest::addColumn<bool>("changed");   // the radio's EEPROM was written before the failure
    // The run's own read (two dumps) succeeds; every read-back after the writes is silent.
    QTest::newRow("read-back silent") << QStringLiteral("silent/dump=3-") << true;
    // No batch is ever echoed right, so none is committed.
    QTest::newRow("echo always wrong") << QStringLiteral("wrong-echo") << false;
}

void TestK40::failed_program_prints_restore_that_restores()
{
    QFETCH(QString, fault);
    QFETCH(bool, changed);
    K40Fixture f;
    SimFaults faults;
    QString error;
    QVERIFY2(parse_fault(fault, faults, &error), qPrintable(error));
    QVERIFY(f.start_radio(shipped_sample(), faults));
    QVERIFY(put_file(f.path(QStringLiteral("known.eep")), known_image(station_of(f))));

    const K40Result r = f.run_radio({QStringLiteral("program"), QStringLiteral("known.eep")});
    QCOMPARE(r.status, int(K40_RADIO));
    QVERIFY(!r.err.contains(OK));
    QVERIFY2(in_order(r.err, {QStringLiteral("Ошибка программирования"),
                              QStringLiteral("могла быть записана частично"),
                              QStringLiteral("k40 restore ./backups/K40-")}),
             qPrintable(r.err));
    QCOMPARE(f.radio_image() != shipped_sample(), changed);

    const QString restore = r.err.mid(r.err.indexOf(QStringLiteral("k40 restore ./backups/")))
                                .section(QLatin1Char('\n'), 0, 0);
    f.radio->set_faults(SimFaults());
    const K40Result back = f.run_radio(restore.split(QLatin1Char(' ')).mid(1));
    QCOMPARE(back.status, int(K40_OK));
    QCOMPARE(f.radio_image(), shipped_sample());
}

void TestK40::port_failures_say_why_data()
{
    QTest::addColumn<PortTrouble>("trouble");
    QTest::addColumn<QString>("reason");
    // The machine's own ports follow, or the word that there are none.
    QTest::newRow("no such device") << NoDevice << QStringLiteral("нет такого устройства; ");
    // This test holds the port.
    QTest::newRow("in use") << HeldByAnother
                            << QStringLiteral("порт занят другой программой: cli_k40 (PID %1)")
                                   .arg(QCoreApplication::applicationPid());
    QTest::newRow("no permission") << NoPermission << QStringLiteral("нет прав доступа");
    QTest::newRow("plain file") << PlainFile
                                << QStringLiteral("это обычный файл, а не последовательный порт");
    QTest::newRow("folder") << Folder << QStringLiteral("это папка, а не последовательный порт");
    QTest::newRow("/dev/null") << NotATerminal
                               << QStringLiteral("устройство не является последовательным портом");
    QTest::newRow("root's device") << OwnerOnly
                                   << QStringLiteral("нет прав доступа; устройство открыто только "
                                                     "для его владельца (группа root)");
    QTest::newRow("group's device")
        << GroupMayUse << QStringLiteral("нет прав доступа; устройство принадлежит группе");
}

void TestK40::port_failures_say_why()
{
    QFETCH(PortTrouble, trouble);
    QFETCH(QString, reason);
    K40Fixture f;
    QVERIFY(f.start_radio(shipped_sample()));
    QVERIFY(put_file(f.path(QStringLiteral("known.eep")), shipped_sample()));
    QString port = f.radio->device_name();
    switch (trouble) {
    case NoDevice: port = QStringLiteral("/dev/ttyK40none"); break;
    case PlainFile: port = f.path(QStringLiteral("known.eep")); break;
    case Folder: port = f.dir.path(); break;
    case NotATerminal: port = QStringLiteral("/dev/null"); break;
    default: break;
    }
    QSerialPort holder;
    if (trouble == HeldByAnother) {
        holder.setPortName(port);
        QVERIFY(holder.open(QIODevice::ReadWrite));
    }
    QStringList wrapper;
    if (trouble == OwnerOnly || trouble == GroupMayUse) {
        // Only root gives a device away; the programmer then runs as an ordinary user.
        if (::geteuid() != 0)
            QSKIP("needs root to give the device to another owner");
        const QByteArray device = QFile::encodeName(port);
        QVERIFY(::chown(device.constData(), 0, trouble == OwnerOnly ? 0 : 20) == 0);
        QVERIFY(::chmod(device.constData(), trouble == OwnerOnly ? 0600 : 0660) == 0);
    }
    if (trouble == NoPermission || trouble == OwnerOnly || trouble == GroupMayUse) {
        // Root opens any device, so root runs the programmer as an unprivileged user; anyone
        // else takes the permissions off their own device.
        if (::geteuid() == 0) {
            const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
            if (setpriv.isEmpty())
                QSKIP("no setpriv to run as another user");
            wrapper = QStringList{setpriv, QStringLiteral("--reuid=65534"),
                                  QStringLiteral("--regid=65534"),
                                  QStringLiteral("--clear-groups")};
            QVERIFY(QFile::setPermissions(f.dir.path(), QFile::ReadOwner | QFile::WriteOwner
                                                            | QFile::ExeOwner | QFile::ReadOther
                                                            | QFile::ExeOther));
        } else {
            QVERIFY(::chmod(QFile::encodeName(port).constData(), 0) == 0);
        }
    }
    const K40Result r = f.run(
        {QStringLiteral("verify"), QStringLiteral("known.eep"), QStringLiteral("--port"), port},
        wrapper);
    QCOMPARE(r.status, int(K40_RADIO));
    QVERIFY2(r.err.contains(QStringLiteral("Не удалось открыть порт %1: %2").arg(port, reason)),
             qPrintable(r.err));
    // Joining root's group would not help.
    QVERIFY2(!r.err.contains(QStringLiteral("usermod -aG root")), qPrintable(r.err));
    if (trouble == GroupMayUse)
        QVERIFY2(r.err.contains(QStringLiteral("usermod -aG dialout")), qPrintable(r.err));
}

void TestK40::trace_records_frames_and_line_events()
{
    K40Fixture f;
    SimFaults faults;
    QString error;
    // The first state query goes unanswered: the read ends on its time-out.
    QVERIFY2(parse_fault(QStringLiteral("silent/state=2"), faults, &error), qPrintable(error));
    QVERIFY(f.start_radio(shipped_sample(), faults));
    QVERIFY(put_file(f.path(QStringLiteral("bug.trace")), "earlier run\n"));

    const K40Result ok = f.run_radio({QStringLiteral("read"), QStringLiteral("-o"),
                                      QStringLiteral("r.eep"), QStringLiteral("--trace"),
                                      QStringLiteral("bug.trace")});
    QCOMPARE(ok.status, int(K40_OK));
    const K40Result failed = f.run({QStringLiteral("read"), QStringLiteral("-o"),
                                    QStringLiteral("r.eep"), QStringLiteral("--trace=bug.trace")});
    QCOMPARE(failed.status, int(K40_RADIO));

    const QString trace = QString::fromUtf8(file_bytes(f.path(QStringLiteral("bug.trace"))));
    const QString stamp = QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} ");
    QVERIFY(trace.startsWith(QStringLiteral("earlier run\n")));  // appended
    for (const QString &pattern :
         {stamp
              + QStringLiteral("-- открытие \\S+: 9600 бит/с, 8N1, без управления потоком: открыт"),
          stamp + QStringLiteral("-- DTR 0"), stamp + QStringLiteral("-- RTS 1"),
          stamp + QStringLiteral("-- очистка приема"),
          stamp + QStringLiteral("-> 24 50 53 53 0d \\|\\$PSS\\.\\|"),
          stamp + QStringLiteral("<- 24 53 53 [0-9a-f ]+\\|\\$SS"),
          stamp + QStringLiteral("<- 24 53 45 00 [0-9a-f ]+\\|\\$SE"),
          stamp + QStringLiteral("-- чтение: время ожидания \\d+ мс истекло, получено 0 из 7 байт"),
          stamp + QStringLiteral("-- закрытие порта")})
        QVERIFY2(QRegularExpression(pattern).match(trace).hasMatch(), qPrintable(pattern));
    // Two dumps of 153 records in each run, four records to a line.
    QCOMPARE(trace.count(QStringLiteral("|$SE")), 2 * 39);
}

QTEST_MAIN(TestK40)
#include "tst_k40.moc"
