// Recovery after a run that failed or was stopped: a byte-for-byte restore, a verify that
// compares bytes, the radio's transmit and tone-call state put back on every way out, a
// change that can never be written refused before writing, and the journal of every write.

#include <QtTest>

#include <csignal>
#include <cstring>

#include "image_codec.h"
#include "image_map.h"
#include "journal.h"
#include "write_session.h"
#include "k40.h"
#include "k40_fixture.h"
#include "station_loader.h"
#include "two_batch_edit.h"

namespace {

const QString OK = QStringLiteral("Запрограммировали - OK!");
constexpr uint8_t BUSY = 0x30;  // transmitting, tone call running
constexpr int TUNING_CH1 = 106;

RS_EEPROM_IMAGE image_of(const QByteArray &bytes)
{
    RS_EEPROM_IMAGE image{};
    std::memcpy(image.bytes, bytes.constData(), RS_IMAGE_SIZE);
    return image;
}

// The sample with the two-batch edit (nine and more addresses), as the form encodes it.
QByteArray two_batch_image(const STATION_CONFIG &st)
{
    ModelContext ctx;
    ctx.station = &st;
    const RS_EEPROM_IMAGE base = image_of(shipped_sample());
    RS_EEPROM_IMAGE out{};
    RS_CONF conf{};
    if (!decode_image(ctx, base, conf))
        return {};
    uint8_t wc = conf.n_rab_kanala;
    apply_two_batch_edit(conf, wc);
    conf.n_rab_kanala = wc;
    if (!encode_image(ctx, conf, base, out, true))
        return {};
    return QByteArray(reinterpret_cast<const char *>(out.bytes), RS_IMAGE_SIZE);
}

// A radio left the factory with channel 1's tuning byte 3 above what the form computes.
QByteArray factory_tuned()
{
    QByteArray image = shipped_sample();
    image[TUNING_CH1] = static_cast<char>(uint8_t(image[TUNING_CH1]) + 3);
    return image;
}

QByteArray with_byte(QByteArray image, int address, uint8_t value)
{
    image[address] = static_cast<char>(value);
    return image;
}

QString restore_command_of(const QString &err)
{
    const int at = err.indexOf(QStringLiteral("k40 restore "));
    return at < 0 ? QString() : err.mid(at).section(QLatin1Char('\n'), 0, 0);
}

QList<JournalEntry> journal_of(const K40Fixture &f)
{
    QList<JournalEntry> entries;
    journal_read(f.path(QLatin1String(JOURNAL_FILE_NAME)), entries, nullptr);
    return entries;
}

}  // namespace

class TestK40Recovery : public QObject {
    Q_OBJECT
private slots:
    void restore_puts_back_every_byte_data();
    void restore_puts_back_every_byte();
    void bytes_programming_sets_otherwise_are_named_data();
    void bytes_programming_sets_otherwise_are_named();
    void restore_leaves_the_working_channel();
    void verified_memory_needs_no_restore();
    void aborts_put_the_state_back_data();
    void aborts_put_the_state_back();
    void second_interrupt_ends_at_once();
    void unwritable_change_is_refused_before_writing();
    void restore_names_what_it_cannot_write();
    void journal_holds_every_write();
    void journal_lines_survive_any_file_name();
};

void TestK40Recovery::restore_puts_back_every_byte_data()
{
    QTest::addColumn<QByteArray>("radio");
    QTest::addColumn<QString>("says");  // what verify adds about the backup before restoring
    QTest::newRow("a tuning byte the form computes otherwise")
        << factory_tuned() << QStringLiteral("форма вычисляет");
    // A radio can hold values the window refuses; its backup is still restored and checked.
    const QByteArray sample = shipped_sample();
    QTest::newRow("a volume the form refuses")
        << with_byte(sample, ADDR_UR_GROMK, uint8_t(sample[ADDR_UR_GROMK]) | LEVEL_BITS)
        << QStringLiteral("Файл не содержит допустимой конфигурации");
}

// The run fails after writing; its restore command must give back the backup's bytes even
// where the form would compute them otherwise, and verify must say so before and after.
void TestK40Recovery::restore_puts_back_every_byte()
{
    QFETCH(QByteArray, radio);
    QFETCH(QString, says);
    K40Fixture f;
    SimFaults faults;
    QVERIFY(parse_fault(QStringLiteral("silent/dump=3-"), faults, nullptr));
    QVERIFY(f.start_radio(radio, faults));
    QVERIFY(put_file(f.path(QStringLiteral("new.eep")), two_batch_image(station_of(f))));

    const K40Result failed = f.run_radio({QStringLiteral("program"), QStringLiteral("new.eep")});
    QCOMPARE(failed.status, int(K40_RADIO));
    QVERIFY(f.radio_image() != radio);
    const QString restore = restore_command_of(failed.err);
    QVERIFY2(!restore.isEmpty(), qPrintable(failed.err));
    const QString backup = restore.section(QLatin1Char(' '), -1);
    QCOMPARE(file_bytes(f.path(backup)), radio);

    f.radio->set_faults(SimFaults());
    const K40Result before = f.run_radio({QStringLiteral("verify"), backup});
    QCOMPARE(before.status, int(K40_DIFFERENT));
    QVERIFY2(before.out.contains(says), qPrintable(before.out));

    const K40Result back = f.run_radio(restore.split(QLatin1Char(' ')).mid(1));
    QCOMPARE(back.status, int(K40_OK));
    QVERIFY2(back.err.contains(QStringLiteral("байт в байт")), qPrintable(back.err));
    QCOMPARE(f.radio_image(), radio);
    const K40Result after = f.run_radio({QStringLiteral("verify"), backup});
    QVERIFY2(after.status == K40_OK, qPrintable(after.out + after.err));
}

void TestK40Recovery::bytes_programming_sets_otherwise_are_named_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("address");
    QTest::addColumn<QString>("says");
    QTest::newRow("a tuning byte")
        << factory_tuned() << TUNING_CH1 << QStringLiteral("форма вычисляет");
    QTest::newRow("a factory byte the form keeps")
        << with_byte(shipped_sample(), 30, uint8_t(shipped_sample()[30]) ^ 0xFF) << 30
        << QStringLiteral("форма оставляет байт радиостанции");
}

// A file that differs from the radio only where programming puts its own byte: nothing is
// written, and every command says why the radio still differs from the file.
void TestK40Recovery::bytes_programming_sets_otherwise_are_named()
{
    QFETCH(QByteArray, file);
    QFETCH(int, address);
    QFETCH(QString, says);
    K40Fixture f;
    QVERIFY(f.start_radio(shipped_sample()));
    QVERIFY(put_file(f.path(QStringLiteral("f.eep")), file));
    const QString at = QStringLiteral("адрес %1:").arg(address);

    const K40Result dry = f.run_radio(
        {QStringLiteral("program"), QStringLiteral("f.eep"), QStringLiteral("--dry-run")});
    QCOMPARE(dry.status, int(K40_OK));
    QVERIFY2(dry.out.contains(QStringLiteral("Ничего не было бы записано"))
                 && !dry.out.contains(QStringLiteral("уже содержит конфигурацию файла"))
                 && dry.out.contains(at) && dry.out.contains(says),
             qPrintable(dry.out));
    const K40Result verify = f.run_radio({QStringLiteral("verify"), QStringLiteral("f.eep")});
    QCOMPARE(verify.status, int(K40_DIFFERENT));
    QVERIFY2(verify.out.contains(says), qPrintable(verify.out));
    const K40Result program = f.run_radio({QStringLiteral("program"), QStringLiteral("f.eep")});
    QCOMPARE(program.status, int(K40_OK));
    QVERIFY2(program.err.contains(at) && program.err.contains(says), qPrintable(program.err));
    QVERIFY(f.radio->write_packets().empty());
}

// The working channel byte is the radio's own: a backup taken on another channel is still
// restored whole.
void TestK40Recovery::restore_leaves_the_working_channel()
{
    K40Fixture f;
    QVERIFY(f.start_radio(shipped_sample()));
    const QByteArray sample = shipped_sample();
    const uint8_t channel = uint8_t(sample[ADDR_N_RAB_KANALA]);
    QByteArray backup = with_byte(sample, ADDR_N_RAB_KANALA, channel % 8 + 1);
    backup = with_byte(backup, ADDR_UR_GROMK, (uint8_t(sample[ADDR_UR_GROMK]) & 0xE0) | 25);
    QVERIFY(put_file(f.path(QStringLiteral("old.eep")), backup));

    const K40Result r = f.run_radio({QStringLiteral("restore"), QStringLiteral("old.eep")});
    QVERIFY2(r.status == K40_OK && r.err.contains(QStringLiteral("байт в байт")),
             qPrintable(r.err));
    QCOMPARE(f.radio_image(), with_byte(backup, ADDR_N_RAB_KANALA, channel));
    QCOMPARE(f.run_radio({QStringLiteral("verify"), QStringLiteral("old.eep")}).status,
             int(K40_OK));
}

// Only the final switch to the working channel went unconfirmed: the memory is right, so
// no restore is offered.
void TestK40Recovery::verified_memory_needs_no_restore()
{
    K40Fixture f;
    SimFaults faults;
    QVERIFY(parse_fault(QStringLiteral("ignore-mode"), faults, nullptr));
    QVERIFY(f.start_radio(shipped_sample(), faults));
    const QByteArray sample = shipped_sample();
    QByteArray file = with_byte(sample, ADDR_UR_GROMK,
                                (uint8_t(sample[ADDR_UR_GROMK]) & 0xE0) | 25);
    file = with_byte(file, ADDR_N_RAB_KANALA, uint8_t(sample[ADDR_N_RAB_KANALA]) % 8 + 1);
    QVERIFY(put_file(f.path(QStringLiteral("f.eep")), file));

    const K40Result r = f.run_radio({QStringLiteral("program"), QStringLiteral("f.eep")});
    QCOMPARE(r.status, int(K40_RADIO));
    QVERIFY2(r.err.contains(QStringLiteral("Память радиостанции записана и проверена"))
                 && !r.err.contains(QStringLiteral("могла быть записана частично"))
                 && restore_command_of(r.err).isEmpty(),
             qPrintable(r.err));
    QCOMPARE(f.radio_image(),
             with_byte(file, ADDR_N_RAB_KANALA, uint8_t(sample[ADDR_N_RAB_KANALA])));
}

enum class Abort {
    BackupBlocked,
    JournalBlocked,
    OtherBand,
    Interrupt,
    Terminate,
    Hangup,
    InterruptRestore
};
Q_DECLARE_METATYPE(Abort)

void TestK40Recovery::aborts_put_the_state_back_data()
{
    QTest::addColumn<Abort>("abort");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("packets");  // write packets the radio received
    QTest::addColumn<QString>("says");
    QTest::newRow("backup cannot be written")
        << Abort::BackupBlocked << int(K40_DATA) << 0
        << QStringLiteral("не удалось сохранить резервную копию");
    QTest::newRow("journal cannot be written") << Abort::JournalBlocked << int(K40_DATA) << 0
                                               << QStringLiteral("не удалось дописать журнал");
    QTest::newRow("file for another band")
        << Abort::OtherBand << int(K40_DATA) << 0 << QStringLiteral("имеет другой диапазон");
    // The batch on the line is finished, nothing after it is sent.
    QTest::newRow("Ctrl-C while writing")
        << Abort::Interrupt << int(K40_RADIO) << 8 << QStringLiteral("Программирование прервано.");
    QTest::newRow("SIGTERM while writing")
        << Abort::Terminate << int(K40_RADIO) << 8 << QStringLiteral("Программирование прервано.");
    QTest::newRow("terminal closed while writing")
        << Abort::Hangup << int(K40_RADIO) << 8 << QStringLiteral("Программирование прервано.");
    QTest::newRow("Ctrl-C while restoring") << Abort::InterruptRestore << int(K40_RADIO) << 8
                                            << QStringLiteral("Программирование прервано.");
}

void TestK40Recovery::aborts_put_the_state_back()
{
    QFETCH(Abort, abort);
    QFETCH(int, status);
    QFETCH(int, packets);
    QFETCH(QString, says);
    K40Fixture f;
    SimRadioConfig config;
    config.image = shipped_sample();
    config.sost = BUSY;
    config.commit_delay_ms = 1500;  // the signal lands while the first batch is committed
    QVERIFY(f.start_radio(config));
    QByteArray file = two_batch_image(station_of(f));
    if (abort == Abort::OtherBand)
        file = file_bytes(QStringLiteral(K40_SOURCE_DIR "/data/sample-band2.eep"));
    QVERIFY(put_file(f.path(QStringLiteral("new.eep")), file));
    if (abort == Abort::BackupBlocked)
        QVERIFY(put_file(f.path(QStringLiteral("backups")), "not a folder"));
    if (abort == Abort::JournalBlocked)
        QVERIFY(QDir(f.dir.path()).mkdir(QLatin1String(JOURNAL_FILE_NAME)));

    K40Result r;
    const bool signalled = abort == Abort::Interrupt || abort == Abort::Terminate
                           || abort == Abort::Hangup || abort == Abort::InterruptRestore;
    if (signalled) {
        QProcess p;
        p.setWorkingDirectory(f.dir.path());
        p.start(QStringLiteral(K40_CLI),
                {abort == Abort::InterruptRestore ? QStringLiteral("restore")
                                                  : QStringLiteral("program"),
                 QStringLiteral("new.eep")});
        QVERIFY(p.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(!f.radio->write_packets().empty(), 30000);
        ::kill(static_cast<pid_t>(p.processId()), abort == Abort::Terminate ? SIGTERM
                                                  : abort == Abort::Hangup  ? SIGHUP
                                                                            : SIGINT);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        r.status = p.exitCode();
        r.err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(!restore_command_of(r.err).isEmpty(), qPrintable(r.err));
        QVERIFY(r.err.contains(QStringLiteral("могла быть записана частично")));
    } else {
        r = f.run_radio({QStringLiteral("program"), QStringLiteral("new.eep")});
    }
    QVERIFY2(r.status == status, qPrintable(r.err));
    QVERIFY2(r.err.contains(says), qPrintable(r.err));
    QVERIFY(!r.err.contains(OK));
    QCOMPARE(int(f.radio->write_packets().size()), packets);
    QVERIFY2(r.err.contains(QStringLiteral("Передача и тональный вызов радиостанции возвращены")),
             qPrintable(r.err));
    QCOMPARE(int(f.radio->state().sost), int(BUSY));
    QCOMPARE(int(f.radio->state().nk), int(uint8_t(shipped_sample()[ADDR_N_RAB_KANALA])));
    if (signalled) {
        const QList<JournalEntry> j = journal_of(f);
        QCOMPARE(j.size(), 2);
        QCOMPARE(j[1].result, QString::fromUtf8(JOURNAL_RESULT_CANCELLED));
    }
}

// A second Ctrl-C does not wait for the batch: the program ends at once.
void TestK40Recovery::second_interrupt_ends_at_once()
{
    K40Fixture f;
    SimRadioConfig config;
    config.image = shipped_sample();
    config.commit_delay_ms = 5000;
    QVERIFY(f.start_radio(config));
    QVERIFY(put_file(f.path(QStringLiteral("new.eep")), two_batch_image(station_of(f))));
    QProcess p;
    p.setWorkingDirectory(f.dir.path());
    p.start(QStringLiteral(K40_CLI), {QStringLiteral("program"), QStringLiteral("new.eep")});
    QVERIFY(p.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(!f.radio->write_packets().empty(), 30000);
    const pid_t pid = static_cast<pid_t>(p.processId());
    ::kill(pid, SIGINT);
    QTest::qWait(200);
    ::kill(pid, SIGINT);
    // Well before the commit the first one waits for ends.
    QVERIFY(p.waitForFinished(3000));
    QCOMPARE(p.exitStatus(), QProcess::CrashExit);
    QVERIFY(
        QString::fromUtf8(p.readAllStandardError()).contains(QStringLiteral("прервано повторно")));
}

// The forbidden-frequency flag is never programmable: a file that changes it can never be
// written, so nothing is.
void TestK40Recovery::unwritable_change_is_refused_before_writing()
{
    K40Fixture f;
    QVERIFY(f.start_radio(shipped_sample()));
    const QByteArray sample = shipped_sample();
    QByteArray file = with_byte(sample, ADDR_ZAPRET, uint8_t(sample[ADDR_ZAPRET]) ^ ZAPRET_BIT);
    file = with_byte(file, ADDR_UR_GROMK, (uint8_t(sample[ADDR_UR_GROMK]) & 0xE0) | 25);
    QVERIFY(put_file(f.path(QStringLiteral("flag.eep")), file));

    const K40Result dry = f.run_radio(
        {QStringLiteral("program"), QStringLiteral("flag.eep"), QStringLiteral("--dry-run")});
    QCOMPARE(dry.status, int(K40_DATA));
    QVERIFY2(dry.out.contains(QStringLiteral("Программирование откажется")), qPrintable(dry.out));

    const K40Result r = f.run_radio({QStringLiteral("program"), QStringLiteral("flag.eep")});
    QCOMPARE(r.status, int(K40_DATA));
    QVERIFY2(r.err.contains(QStringLiteral("адрес 28"))
                 && r.err.contains(QStringLiteral("Запрещенные частоты")),
             qPrintable(r.err));
    QVERIFY(f.radio->write_packets().empty());
    QCOMPARE(f.radio_image(), sample);
}

void TestK40Recovery::restore_names_what_it_cannot_write()
{
    K40Fixture f;
    QVERIFY(f.start_radio(shipped_sample()));
    const QByteArray sample = shipped_sample();
    QByteArray backup = with_byte(sample, ADDR_ZAPRET, uint8_t(sample[ADDR_ZAPRET]) ^ ZAPRET_BIT);
    backup = with_byte(backup, ADDR_UR_GROMK, (uint8_t(sample[ADDR_UR_GROMK]) & 0xE0) | 25);
    QVERIFY(put_file(f.path(QStringLiteral("old.eep")), backup));

    const K40Result r = f.run_radio({QStringLiteral("restore"), QStringLiteral("old.eep")});
    QCOMPARE(r.status, int(K40_DIFFERENT));
    QVERIFY2(r.err.contains(QStringLiteral("не полностью"))
                 && r.err.contains(QStringLiteral("адрес 28")),
             qPrintable(r.err));
    QCOMPARE(f.radio_image(), with_byte(backup, ADDR_ZAPRET, uint8_t(sample[ADDR_ZAPRET])));
}

void TestK40Recovery::journal_holds_every_write()
{
    K40Fixture f;
    QVERIFY(f.start_radio(shipped_sample()));
    const QByteArray target = two_batch_image(station_of(f));
    QVERIFY(put_file(f.path(QStringLiteral("new.eep")), target));
    QCOMPARE(f.run_radio({QStringLiteral("program"), QStringLiteral("new.eep")}).status,
             int(K40_OK));
    const QString written = image_checksum(image_of(f.radio_image()));
    SimFaults silent;
    QVERIFY(parse_fault(QStringLiteral("silent/dump=3-"), silent, nullptr));
    f.radio->set_faults(silent);
    QVERIFY(put_file(f.path(QStringLiteral("back.eep")), shipped_sample()));
    QCOMPARE(f.run_radio({QStringLiteral("program"), QStringLiteral("back.eep")}).status,
             int(K40_RADIO));

    const QList<JournalEntry> j = journal_of(f);
    QCOMPARE(j.size(), 4);
    QCOMPARE(j[0].event, QString::fromUtf8(JOURNAL_START));
    QCOMPARE(j[1].event, QString::fromUtf8(JOURNAL_END));
    QCOMPARE(j[0].run, j[1].run);
    QVERIFY(j[1].run != j[2].run);
    QCOMPARE(j[0].program, QStringLiteral("k40"));
    QCOMPARE(j[0].file, QStringLiteral("new.eep"));
    QCOMPARE(j[0].before, image_checksum(image_of(shipped_sample())));
    // Text to a spreadsheet, never a number such as 7E44 or 0123.
    static const QRegularExpression as_text(QStringLiteral("^0x[0-9A-F]{4}$"));
    QVERIFY2(as_text.match(j[0].before).hasMatch(), qPrintable(j[0].before));
    QCOMPARE(j[1].read_back, j[1].intended);
    QCOMPARE(j[1].result, QString::fromUtf8(JOURNAL_RESULT_OK));
    QVERIFY(QFileInfo::exists(f.path(j[0].backup)));
    QCOMPARE(j[3].before, written);
    QCOMPARE(j[3].result, QString::fromUtf8(JOURNAL_RESULT_FAILED));

    const K40Result shown = f.run({QStringLiteral("journal")});
    QCOMPARE(shown.status, int(K40_OK));
    const int newest = shown.out.indexOf(QStringLiteral("back.eep"));
    const int oldest = shown.out.indexOf(QStringLiteral("new.eep"));
    QVERIFY2(newest >= 0 && oldest > newest, qPrintable(shown.out));
}

void TestK40Recovery::journal_lines_survive_any_file_name()
{
    JournalEntry e;
    e.time = QDateTime(QDate(2026, 12, 11), QTime(9, 5, 7));
    e.run = QStringLiteral("r1");
    e.program = QStringLiteral("окно");
    e.event = QString::fromUtf8(JOURNAL_START);
    e.file = QStringLiteral("a;b \"c\".eep");
    e.result = QStringLiteral("x");
    JournalEntry back;
    QVERIFY(journal_parse_line(journal_line(e), back));
    QCOMPARE(back.file, e.file);
    QCOMPARE(back.time, e.time);
    e.file = QStringLiteral("two\nlines.eep");
    QVERIFY(!journal_line(e).contains(QLatin1Char('\n')));
    // A line cut by a power loss is not a record.
    QVERIFY(!journal_parse_line(journal_line(e).left(20), back));
}

QTEST_GUILESS_MAIN(TestK40Recovery)
#include "tst_k40_recovery.moc"
