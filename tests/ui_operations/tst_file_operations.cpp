#include <QtTest>

#include "operations_fixture.h"
#include "image_file.h"
#include "image_map.h"
#include "param_editors.h"

#include <QPrinter>
#include <csignal>
#include <sys/resource.h>

namespace {

QString u(const char *s) { return QString::fromUtf8(s); }

void write_file(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Files larger than `bytes` cannot be written by this process while it lives.
struct FileSizeLimit {
    rlimit old{};
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit lim = old;
        lim.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old); }
};

}  // namespace

class TestFileOperations : public QObject {
    Q_OBJECT
private slots:
    void read_then_save_keeps_every_byte();
    void save_then_load();
    void failed_read_keeps_the_last_image();
    void load_refusals_data();
    void load_refusals();
    void save_before_anything_was_read();
    void failed_save_keeps_the_old_file();
    void report_file_and_window();
    void report_printed_to_pdf();
    void backups_within_one_second_keep_their_own_names();
};

// Reading a radio and saving at once must give the radio's own bytes; run again under a
// Russian locale, this catches tones that change on the way through the form's texts.
void TestFileOperations::read_then_save_keeps_every_byte()
{
    WindowFixture f;
    f.w().run_operation(2004);
    QVERIFY2(f.w().ed_ctcss_prm->text().contains(QLatin1Char('.')), "a tone with a fraction");
    const QString path = f.dir.filePath(QStringLiteral("as-read.eep"));
    f.dialogs.file_names << path;
    f.w().run_operation(2001);
    QCOMPARE(f.last_message(), u("Конфигурация успешно сохранена в файле."));
    QCOMPARE(read_file(path), f.radio->image());
}

// A radio whose image does not decode leaves the window holding the last radio read, so
// saving afterwards writes that radio's bytes, not a mix of the two radios.
void TestFileOperations::failed_read_keeps_the_last_image()
{
    WindowFixture f;
    f.w().run_operation(2004);
    const QByteArray first = f.radio->image();
    f.radio->stop();

    SimRadioConfig config;
    config.image = sample_image();
    config.image[ADDR_BAND_CODE] = 9;  // a band the station does not know
    config.baud = f.station.Com_Port_BaudRate;
    SimulatedRadio other(config);
    QVERIFY(other.start());
    const QByteArray name = other.device_name().toLocal8Bit();
    std::memset(f.w().station.Com_Port_Name, 0, sizeof f.w().station.Com_Port_Name);
    std::memcpy(f.w().station.Com_Port_Name, name.constData(), size_t(name.size()));
    f.w().run_operation(2004);
    QVERIFY2(f.messages().contains(u("Данный тип радиостанций не поддерживается")),
             qPrintable(f.messages().join(QLatin1Char('\n'))));
    other.stop();

    const QString path = f.dir.filePath(QStringLiteral("after-failed-read.eep"));
    f.dialogs.file_names << path;
    f.w().run_operation(2001);
    QCOMPARE(f.last_message(), u("Конфигурация успешно сохранена в файле."));
    QCOMPARE(read_file(path), first);
}

void TestFileOperations::save_then_load()
{
    WindowFixture f;
    f.w().run_operation(2004);
    f.w().ed_ctcss_prm->setText(QStringLiteral("67.0"));  // quantises to 66.9
    f.w().cell_item(2, 0)->setText(QStringLiteral("151000"));
    const QString path = f.dir.filePath(QStringLiteral("saved.eep"));
    // An existing private file stays private when it is replaced.
    write_file(path, QByteArray("old"));
    const QFileDevice::Permissions owner_only = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QFile::setPermissions(path, owner_only);
    f.dialogs.file_names << path;
    f.w().run_operation(2001);
    QCOMPARE(f.last_message(), u("Конфигурация успешно сохранена в файле."));
    const QByteArray saved = read_file(path);
    QCOMPARE(saved.size(), RS_IMAGE_SIZE);
    QCOMPARE(QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
             owner_only);
    QCOMPARE(f.dialogs.calls.last().caption,
             u("Сохранение конфигурации радиостанции Торвел-K40 в файл"));
    QCOMPARE(f.dialogs.calls.last().filter, u("Файл конфигурации (*.eep)"));
    QCOMPARE(f.dialogs.calls.last().dir, QStringLiteral("./"));

    // The bytes the form does not control are those of the image read.
    for (int a = 0; a < RS_IMAGE_SIZE; ++a)
        if (image_kept_mask(a) == 0xFF)
            QCOMPARE(saved[a], sample_image()[a]);

    f.w().clear_form();
    f.dialogs.file_names << path;
    f.w().run_operation(2000);
    QCOMPARE(f.last_message(), u("Конфигурация успешно считана из файла."));
    QCOMPARE(f.dialogs.calls.last().caption,
             u("Загрузка файла конфигурации радиостанции Торвел-K40"));
    QCOMPARE(f.w().ed_ctcss_prm->text(), QStringLiteral("66.9"));
    QCOMPARE(f.cell(2, 0), QStringLiteral(" 151.000"));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(f.w().image.bytes), RS_IMAGE_SIZE), saved);
}

void TestFileOperations::load_refusals_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("first_message");
    const QByteArray good = sample_image();
    QByteArray unknown_band = good;
    unknown_band[29] = 7;
    QTest::newRow("152 bytes") << good.left(152) << QString();
    QTest::newRow("154 bytes") << good + QByteArray(1, '\0') << QString();
    QTest::newRow("unknown band code")
        << unknown_band << u("Данный тип радиостанций не поддерживается");
    QTest::newRow("cancelled") << QByteArray() << QString();
}

void TestFileOperations::load_refusals()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, first_message);
    WindowFixture f;
    f.w().run_operation(2004);
    const QString title = f.w().windowTitle();
    const QString before = f.cell(0, 0);
    if (!content.isEmpty()) {
        const QString path = f.dir.filePath(QStringLiteral("in.eep"));
        write_file(path, content);
        f.dialogs.file_names << path;
    }
    f.w().run_operation(2000);
    const QStringList m = f.messages();
    QCOMPARE(m.last(), u("Ошибка чтения конфигурации из файла."));
    if (!first_message.isEmpty())
        QCOMPARE(m[m.size() - 2], first_message);
    QCOMPARE(f.cell(0, 0), before);
    QCOMPARE(f.w().windowTitle(), title);
    QVERIFY(f.w().flag_conf_read);
}

void TestFileOperations::save_before_anything_was_read()
{
    WindowFixture f;
    // A complete form typed by hand, with no image behind it.
    RS_CONF conf{};
    for (int i = 0; i < RS_CHANNELS; ++i)
        conf.f_prm[i] = conf.f_prd[i] = 150000;
    conf.ctcss_prd = conf.ctcss_prm = 88.5;
    conf.vt_prd = conf.vt_prm = 1450;
    conf.ur_gromk = 20;
    conf.microphone = 24;
    conf.n_rab_kanala = 1;
    f.w().fill_form(conf);
    f.dialogs.file_names << f.dir.filePath(QStringLiteral("never.eep"));
    f.w().run_operation(2001);
    const QStringList m = f.messages();
    QCOMPARE(m.last(), u("Ошибка: Сохранение конфигурации в файле."));
    QVERIFY(m.contains(u("Данный тип радиостанций не поддерживается")));
    QVERIFY(!QFile::exists(f.dir.filePath(QStringLiteral("never.eep"))));
}

void TestFileOperations::failed_save_keeps_the_old_file()
{
    WindowFixture f;
    f.w().run_operation(2004);
    f.w().ed_ur_gromk->setText(QStringLiteral("25"));
    const QString path = f.dir.filePath(QStringLiteral("only-copy.eep"));
    const QByteArray old = sample_image();
    write_file(path, old);
    f.dialogs.file_names << path;
    {
        FileSizeLimit limit(100);  // the new image cannot be written whole
        f.w().run_operation(2001);
    }
    QCOMPARE(f.last_message(), u("Ошибка: Сохранение конфигурации в файле."));
    QCOMPARE(read_file(path), old);
    QCOMPARE(QDir(f.dir.path())
                 .entryList(QDir::Files | QDir::Hidden)
                 .filter(QStringLiteral("only-copy"))
                 .size(),
             1);
}

void TestFileOperations::report_file_and_window()
{
    WindowFixture f;
    f.w().run_operation(2004);
    f.dialogs.print_answers << false;
    f.w().run_operation(2002);
    const QByteArray report = read_file(f.dir.filePath(QStringLiteral("rs_info.html")));
    QVERIFY(report.startsWith("  <html>"));
    QStringDecoder from_cp1251("windows-1251");
    QVERIFY(QString(from_cp1251.decode(report)).contains(u("Номер рабочего канала")));
    QCOMPARE(f.dialogs.calls.size(), 2);
    QCOMPARE(f.dialogs.calls[0].kind, QStringLiteral("print"));
    QCOMPARE(f.dialogs.calls[1].kind, QStringLiteral("exec"));
    QCOMPARE(f.dialogs.calls[1].caption, u("Печать настроек радиостанции Торвел-K40"));
    QVERIFY(!f.w().form_lock().held_by_current_thread());
}

void TestFileOperations::report_printed_to_pdf()
{
    WindowFixture f;
    f.w().run_operation(2004);
    const QString pdf = f.dir.filePath(QStringLiteral("report.pdf"));
    f.dialogs.print_answers << true;
    f.dialogs.on_print_accepted = [&](QPrinter &printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
    };
    f.w().run_operation(2002);
    QVERIFY(read_file(pdf).startsWith("%PDF"));
}

QTEST_MAIN(TestFileOperations)
// Runs are seconds apart in practice, so the clock is fixed here: three backups in one
// second get three names, and none replaces another.
void TestFileOperations::backups_within_one_second_keep_their_own_names()
{
    QTemporaryDir dir;
    const QDateTime when(QDate(2026, 12, 11), QTime(9, 30, 5));
    QStringList names;
    for (uint8_t fill : {uint8_t(1), uint8_t(2), uint8_t(3)}) {
        RS_EEPROM_IMAGE image{};
        std::memset(image.bytes, fill, RS_IMAGE_SIZE);
        QString path, why;
        QVERIFY2(write_backup(dir.path(), image, when, &path, &why), qPrintable(why));
        names << QFileInfo(path).fileName();
    }
    QCOMPARE(names, (QStringList{QStringLiteral("K40-20261211-093005.eep"),
                                 QStringLiteral("K40-20261211-093005-2.eep"),
                                 QStringLiteral("K40-20261211-093005-3.eep")}));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(read_file(dir.filePath(QStringLiteral("backups/") + names[i])),
                 QByteArray(RS_IMAGE_SIZE, char(i + 1)));
}

#include "tst_file_operations.moc"
