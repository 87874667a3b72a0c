#include <QtTest>

#include "operations_fixture.h"
#include "line_edit_int.h"
#include "param_editors.h"
#include "journal.h"
#include "radio_protocol.h"
#include "write_session.h"

#include <QCheckBox>

namespace {

const char *const OK = "Запрограммировали - OK!";
const char *const FAILED = "Ошибка программирования";

QString u(const char *s) { return QString::fromUtf8(s); }

// An image whose channel 1 receive code lies outside every band: it decodes, then fails
// validation.
QByteArray image_with_bad_frequency()
{
    QByteArray image = sample_image();
    image[3] = char(0xFF);
    image[4] = char(0xFF);
    return image;
}

// The lines the window wrote to its log dialog beside the strip's texts.
QStringList log_notes(const PROGRAMMATOR_K40 &w)
{
    QStringList out;
    const QString marker = QStringLiteral(" >> ");
    for (const QString &line : w.log_dialog->browser()->toPlainText().split(QLatin1Char('\n')))
        if (line.indexOf(marker) >= 0)
            out << line.mid(line.indexOf(marker) + marker.size());
    return out;
}

int count_address(const std::vector<SimWritePacket> &packets, int address)
{
    int n = 0;
    for (const SimWritePacket &p : packets)
        n += p.address == address;
    return n;
}

}  // namespace

class TestRadioOperations : public QObject {
    Q_OBJECT
private slots:
    void read_fills_the_form();
    void read_and_program_through_an_adapter_data();
    void read_and_program_through_an_adapter();
    void read_failures_data();
    void read_failures();
    void program_edited_form();
    void program_unchanged_form_sends_nothing();
    void nine_differences_make_two_batches();
    void transmitting_radio_is_taken_off_and_put_back();
    void program_failures_data();
    void program_failures();
    void program_keeps_a_backup_first();
    void failing_backup_writes_nothing_data();
    void failing_backup_writes_nothing();
    void port_that_does_not_open_says_why();
};

void TestRadioOperations::read_fills_the_form()
{
    WindowFixture f;
    f.w().run_operation(2004);
    QCOMPARE(f.last_message(), u("Параметры считаны."));
    QVERIFY(f.w().flag_conf_read);
    QVERIFY(!f.cell(0, 0).isEmpty());
    QVERIFY(f.w().windowTitle().startsWith(u("Программатор Торвел-K40 [146000-159975 кГц]")));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(f.w().image.bytes), RS_IMAGE_SIZE),
             sample_image());
    QCOMPARE(f.w().ed_ctcss_prd->text(), QStringLiteral("88.5"));

    // A radio whose image decodes but fails validation still fills the form.
    WindowFixture bad(image_with_bad_frequency());
    bad.w().run_operation(2004);
    QCOMPARE(bad.last_message(), u("Параметры считаны, но имеются ошибки в данных."));
    QVERIFY(bad.w().flag_conf_read);
    QCOMPARE(bad.cell(0, 0), QStringLiteral("0"));
}

void TestRadioOperations::read_and_program_through_an_adapter_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("adapter");  // the adapter's latency timer, ms
    QTest::addColumn<int>("start");    // the radio's start delay, ms
    QTest::newRow("16 ms, radio 8 ms, 9600 bit/s") << 9600 << 16 << 8;
    QTest::newRow("32 ms, radio 10 ms") << 19200 << 32 << 10;
    QTest::newRow("Bluetooth 64 ms") << 19200 << 64 << 0;
}

void TestRadioOperations::read_and_program_through_an_adapter()
{
    QFETCH(int, baud);
    QFETCH(int, adapter);
    QFETCH(int, start);
    WindowFixture f(sample_image(), RADIO_SOST_TRANSMITTING, SimFaults(), baud, adapter, start);
    f.w().run_operation(2004);
    QCOMPARE(f.last_message(), u("Параметры считаны."));
    QVERIFY(f.w().flag_conf_read);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(f.w().image.bytes), RS_IMAGE_SIZE),
             sample_image());

    f.w().cell_item(0, 0)->setText(QStringLiteral(" 150.025"));
    f.w().ed_ur_gromk->setText(QStringLiteral("25"));
    const QByteArray expected = f.encoded_form();
    QVERIFY(!expected.isEmpty() && expected != sample_image());
    f.w().run_operation(2003);
    QCOMPARE(f.last_message(), u(OK));
    QCOMPARE(f.radio->image(), expected);
    QVERIFY(f.radio->state().sost & RADIO_SOST_TRANSMITTING);
}

void TestRadioOperations::read_failures_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("message");
    QTest::newRow("silent") << 0 << u("Ответ не получен. Проверьте установки COM-порта в файле");
    QTest::newRow("wrong framing") << 1 << u("Считаны неверные данные");
    QTest::newRow("answers the state query, not the dump") << 2 << u("Не удалось войти в связь");
    QTest::newRow("short garbage") << 3 << u("Не удалось войти в связь");
}

void TestRadioOperations::read_failures()
{
    QFETCH(int, fault);
    QFETCH(QString, message);
    SimFaults faults;
    switch (fault) {
    case 0: faults.silent = FaultRule::always(); break;
    case 1: faults.bad_state_frame = FaultRule::always(); break;
    case 2: faults.silent = FaultRule::always().only(SIM_REPLY_DUMP); break;
    case 3: faults.short_garbage = FaultRule::always(); break;
    }
    WindowFixture f(sample_image(), 0, faults);
    f.w().run_operation(2004);
    QCOMPARE(f.last_message(), message);
    QVERIFY(!f.w().flag_conf_read);
    QVERIFY(f.cell(0, 0).isEmpty());
    QCOMPARE(f.w().ed_ctcss_prd->text(), QString());
}

void TestRadioOperations::program_edited_form()
{
    WindowFixture f;
    f.w().run_operation(2004);
    f.w().cell_item(0, 0)->setText(QStringLiteral(" 150.025"));
    f.w().ed_ur_gromk->setText(QStringLiteral("25"));
    const int stored_channel = static_cast<uint8_t>(f.radio->image()[60]);
    f.w().ed_n_rab_kanala->setText(QString::number(stored_channel == 4 ? 5 : 4));
    const QByteArray expected = f.encoded_form();
    QVERIFY(!expected.isEmpty());

    f.w().run_operation(2003);
    QCOMPARE(f.last_message(), u(OK));
    QCOMPARE(f.radio->image(), expected);
    QCOMPARE(int(static_cast<uint8_t>(f.radio->image()[60])), stored_channel);
    QCOMPARE(int(f.radio->state().nk), f.w().ed_n_rab_kanala->text().toInt());
    for (const SimWritePacket &p : f.radio->write_packets())
        QVERIFY2(p.address == RADIO_FILLER_ADDRESS
                     || sample_image()[p.address] != expected[p.address],
                 qPrintable(QStringLiteral("address %1 sent without a change").arg(p.address)));
}

void TestRadioOperations::program_unchanged_form_sends_nothing()
{
    WindowFixture f;
    f.w().run_operation(2004);
    f.w().run_operation(2003);
    QCOMPARE(f.last_message(), u(OK));
    QVERIFY(f.radio->write_packets().empty());
    QCOMPARE(f.radio->commits(), 0);
    QCOMPARE(f.radio->image(), sample_image());
}

void TestRadioOperations::nine_differences_make_two_batches()
{
    WindowFixture f;
    f.w().run_operation(2004);
    // Channels 1..3 receive frequency: 2 code bytes and a tuning byte each.
    for (int row = 0; row < 3; ++row) {
        const int32_t khz = 146000 + 25 * (400 + 40 * row);
        f.w().cell_item(row, 0)->setText(QString::number(khz));
    }
    const QByteArray expected = f.encoded_form();
    int differing = 0;
    for (int a = 0; a < RS_IMAGE_SIZE; ++a)
        differing += expected[a] != sample_image()[a] && is_programmable_address(a);
    QCOMPARE(differing, 9);

    f.w().run_operation(2003);
    QCOMPARE(f.last_message(), u(OK));
    const std::vector<SimWritePacket> packets = f.radio->write_packets();
    QCOMPARE(int(packets.size()), 16);
    QCOMPARE(count_address(packets, RADIO_FILLER_ADDRESS), 7);
    QCOMPARE(f.radio->commits(), 2);
    QCOMPARE(f.radio->image(), expected);
}

void TestRadioOperations::transmitting_radio_is_taken_off_and_put_back()
{
    WindowFixture f(sample_image(), RADIO_SOST_TRANSMITTING);
    f.w().run_operation(2004);
    f.w().ed_ur_gromk->setText(QStringLiteral("19"));
    f.w().run_operation(2003);
    QCOMPARE(f.last_message(), u(OK));
    QList<uint8_t> sost_sent;
    for (const SimFrame &frame : f.radio->journal())
        if (frame.kind == SimFrameKind::ModeCommand)
            sost_sent << static_cast<uint8_t>(frame.bytes[RADIO_STATE_SOST]);
    QVERIFY(sost_sent.size() >= 3);
    QVERIFY(!(sost_sent.first() & RADIO_SOST_TRANSMITTING));
    QVERIFY(sost_sent.last() & RADIO_SOST_TRANSMITTING);
    QVERIFY(f.radio->state().sost & RADIO_SOST_TRANSMITTING);
}

void TestRadioOperations::program_failures_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("before any read") << 0 << u("Сначала необходимо считать параметры");
    QTest::newRow("incomplete form") << 1 << u("Ошибка: Поля редактирования не заполнены.");
    QTest::newRow("band mismatch")
        << 2 << u("Error: Проверка параметров в форме редактирования при программировании");
    QTest::newRow("non-programmable difference") << 3 << u("Error: Не совпадает EEPROM ");
    QTest::newRow("radio vanishes") << 4 << QString();
}

void TestRadioOperations::program_failures()
{
    QFETCH(int, kind);
    QFETCH(QString, message);
    SimFaults faults;
    if (kind == 4)
        faults.vanish_at = 8;  // after the reads, in the middle of programming
    WindowFixture f(sample_image(), 0, faults);
    if (kind != 0)
        f.w().run_operation(2004);
    switch (kind) {
    case 1: f.w().cell_item(4, 1)->setText(QString()); break;
    case 2: f.w().diapazon_code = 2; break;
    case 3: f.w().cb_zapret->setChecked(!f.w().cb_zapret->isChecked()); break;
    case 4: f.w().ed_ur_gromk->setText(QStringLiteral("19")); break;
    }
    const QByteArray before = f.radio->image();
    f.w().run_operation(2003);
    const QStringList m = f.messages();
    QCOMPARE(m.last(), u(FAILED));
    QVERIFY(!m.contains(u(OK)));
    if (!message.isEmpty())
        QVERIFY2(m.contains(message), qPrintable(m.join(QLatin1Char('|'))));
    if (kind == 2)
        QVERIFY(m.contains(u("Ошибка: Программируемая радиостанция имеет другой диапазон.")));
    if (kind != 4)
        QCOMPARE(f.radio->image(), before);
}

void TestRadioOperations::program_keeps_a_backup_first()
{
    WindowFixture f;
    f.w().run_operation(2004);
    f.w().ed_ur_gromk->setText(QStringLiteral("25"));
    f.w().run_operation(2003);
    QCOMPARE(f.last_message(), u(OK));
    const QStringList backups = QDir(f.dir.filePath(QStringLiteral("backups")))
                                    .entryList({QStringLiteral("K40-*.eep")}, QDir::Files);
    QCOMPARE(backups.size(), 1);
    QCOMPARE(read_file(f.dir.filePath(QStringLiteral("backups/") + backups[0])), sample_image());
    QCOMPARE(log_notes(f.w()),
             QStringList{u("Резервная копия радиостанции: ./backups/") + backups[0]});
    // The window's runs are journalled like k40's: a line before writing, one at the end.
    QList<JournalEntry> journal;
    QVERIFY(journal_read(f.dir.filePath(QLatin1String(JOURNAL_FILE_NAME)), journal, nullptr));
    QCOMPARE(journal.size(), 2);
    QCOMPARE(journal[0].program, u("окно"));
    QCOMPARE(journal[0].backup, u("./backups/") + backups[0]);
    QCOMPARE(journal[1].run, journal[0].run);
    QCOMPARE(journal[1].result, u(JOURNAL_RESULT_OK));
    QCOMPARE(journal[1].read_back, journal[1].intended);
}

void TestRadioOperations::failing_backup_writes_nothing_data()
{
    QTest::addColumn<bool>("journal");  // the journal is blocked, not the backup
    QTest::addColumn<QString>("says");
    QTest::newRow("backup") << false
                            << u("Ошибка: не удалось сохранить резервную копию "
                                 "./backups/K40-");
    QTest::newRow("journal") << true << u("Ошибка: не удалось дописать журнал ./journal.csv");
}

void TestRadioOperations::failing_backup_writes_nothing()
{
    QFETCH(bool, journal);
    QFETCH(QString, says);
    WindowFixture f;
    if (journal) {
        QVERIFY(QDir(f.dir.path()).mkdir(QLatin1String(JOURNAL_FILE_NAME)));
    } else {
        QFile blocker(f.dir.filePath(QStringLiteral("backups")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
    }
    f.w().run_operation(2004);
    f.w().ed_ur_gromk->setText(QStringLiteral("25"));
    f.w().run_operation(2003);
    const QStringList m = f.messages();
    QCOMPARE(m.last(), u(FAILED));
    QVERIFY2(m[m.size() - 2].startsWith(says), qPrintable(m.join(QLatin1Char('|'))));
    QVERIFY(m[m.size() - 2].contains(u("В радиостанцию ничего не записано.")));
    QVERIFY(f.radio->write_packets().empty());
    QCOMPARE(f.radio->image(), sample_image());
}

void TestRadioOperations::port_that_does_not_open_says_why()
{
    WindowFixture f;
    f.window.reset();
    const QByteArray missing("/dev/ttyK40none");
    std::memset(f.station.Com_Port_Name, 0, sizeof f.station.Com_Port_Name);
    std::memcpy(f.station.Com_Port_Name, missing.constData(), size_t(missing.size()));
    f.window = std::make_unique<PROGRAMMATOR_K40>(nullptr, &f.station, &f.dialogs, &f.sleeper);
    f.w().run_operation(2004);
    // The strip says what it always says; the reason, then the ports there are, go beside
    // it.
    QCOMPARE(f.messages().last(), u("Не удалось войти в связь"));
    QVERIFY2(!log_notes(f.w())
                  .filter(u("Не удалось открыть порт %1: нет такого устройства; ")
                              .arg(QString::fromLocal8Bit(missing)))
                  .isEmpty(),
             qPrintable(log_notes(f.w()).join(QLatin1Char('|'))));
}

QTEST_MAIN(TestRadioOperations)
#include "tst_radio_operations.moc"
