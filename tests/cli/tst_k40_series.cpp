// A series of radios on one cable: each unplugged and replaced by the next, the programmer
// programming, refusing, failing on or recognising each in turn.

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <csignal>
#include <cstring>

#include "image_map.h"
#include "journal.h"
#include "k40.h"
#include "k40_fixture.h"
#include "radio_protocol.h"

namespace {

QByteArray with_byte(QByteArray image, int address, uint8_t value)
{
    image[address] = static_cast<char>(value);
    return image;
}

}  // namespace

class TestK40Series : public QObject {
    Q_OBJECT
private slots:
    void radios_one_after_another();
};

void TestK40Series::radios_one_after_another()
{
    K40Fixture f;
    const QString link = f.path(QStringLiteral("cable"));
    const QByteArray sample = shipped_sample();
    const QByteArray fleet = with_byte(sample, ADDR_UR_GROMK,
                                       (uint8_t(sample[ADDR_UR_GROMK]) & 0xE0) | 25);
    QVERIFY(put_file(f.path(QStringLiteral("fleet.eep")), fleet));

    SimRadioConfig first;
    first.image = sample;
    first.link_path = link;
    QVERIFY(f.start_radio(first));  // torvel.txt names the link, which outlives each radio

    QProcess p;
    p.setWorkingDirectory(f.dir.path());
    p.start(QStringLiteral(K40_CLI),
            {QStringLiteral("series"), QStringLiteral("fleet.eep"), QStringLiteral("--json"),
             QStringLiteral("--sheets"), QStringLiteral("sheets")});
    QVERIFY(p.waitForStarted());
    QList<QJsonObject> lines;
    const auto next_line = [&]() {
        QElapsedTimer t;
        t.start();
        while (!p.canReadLine() && t.elapsed() < 60000)
            p.waitForReadyRead(200);
        if (!p.canReadLine()) {
            qWarning().noquote() << p.readAllStandardError();
            return false;
        }
        lines << QJsonDocument::fromJson(p.readLine()).object();
        return true;
    };
    constexpr uint8_t BUSY = RADIO_SOST_TRANSMITTING | RADIO_SOST_TONE_CALL;
    const auto replace = [&](const QByteArray &image, const SimFaults &faults = SimFaults(),
                             uint8_t sost = 0) {
        f.radio->unplug();
        QTest::qWait(2500);
        SimRadioConfig next;
        next.image = image;
        next.faults = faults;
        next.sost = sost;
        next.baud = K40Fixture::BAUD;
        return f.radio->plug_in(next);
    };

    QVERIFY(next_line());  // a healthy radio
    const QByteArray programmed_first = f.radio_image();
    QCOMPARE(programmed_first, fleet);
    // Another radio (its factory byte differs) that already holds the configuration.
    QVERIFY(replace(with_byte(fleet, 2, uint8_t(fleet[2]) ^ 1)));
    QVERIFY(next_line());
    QVERIFY(f.radio->write_packets().empty());
    QVERIFY(replace(file_bytes(QStringLiteral(K40_SOURCE_DIR "/data/sample-band2.eep"))));
    QVERIFY(next_line());
    QVERIFY(f.radio->write_packets().empty());
    // A band no station table knows: the image does not decode.
    QVERIFY(replace(with_byte(sample, ADDR_BAND_CODE, 99)));
    QVERIFY(next_line());
    QVERIFY(f.radio->write_packets().empty());
    SimFaults silent_read_back;
    // The series' read and programming's own read pass; every read-back is silent.
    QVERIFY(parse_fault(QStringLiteral("silent/dump=5-"), silent_read_back, nullptr));
    const QByteArray failing = with_byte(sample, 2, uint8_t(sample[2]) ^ 2);
    QVERIFY(replace(failing, silent_read_back, BUSY));
    QVERIFY(next_line());
    // Only what the run was to change may differ; the radio is back on the air.
    for (int a = 0; a < RS_IMAGE_SIZE; ++a)
        QVERIFY2(f.radio_image()[a] == failing[a] || a == ADDR_UR_GROMK,
                 qPrintable(QStringLiteral("address %1 changed").arg(a)));
    QCOMPARE(int(f.radio->state().sost), int(BUSY));
    // The first radio once more, switched to another channel in between.
    QVERIFY(replace(with_byte(programmed_first, ADDR_N_RAB_KANALA,
                              uint8_t(programmed_first[ADDR_N_RAB_KANALA]) % 8 + 1)));
    QVERIFY(next_line());
    QVERIFY(f.radio->write_packets().empty());

    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    QVERIFY(p.waitForFinished(30000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QCOMPARE(p.exitCode(), int(K40_RADIO));  // one radio failed

    QStringList results;
    for (const QJsonObject &o : lines)
        results << o[QStringLiteral("result")].toString();
    QCOMPARE(results, (QStringList{QStringLiteral("programmed"), QStringLiteral("holding"),
                                   QStringLiteral("refused"), QStringLiteral("refused"),
                                   QStringLiteral("failed"), QStringLiteral("repeat")}));
    QCOMPARE(lines[0][QStringLiteral("number")].toInt(), 1);
    QCOMPARE(lines[0][QStringLiteral("written")].toInt(), 1);
    QCOMPARE(lines[5][QStringLiteral("number")].toInt(), 1);
    const auto kept = [&](int line, const char *key) {
        const QString name = lines[line][QLatin1String(key)].toString();
        return !name.isEmpty() && QFileInfo(f.path(name)).isFile();
    };
    // Every radio read keeps its backup, written or not.
    for (int line = 0; line < 5; ++line)
        QVERIFY2(kept(line, "backup"), qPrintable(QString::number(line)));
    QVERIFY(kept(0, "sheet"));
    QVERIFY(kept(1, "sheet"));
    QVERIFY(!kept(2, "sheet"));
    QVERIFY2(err.contains(QStringLiteral("образ радиостанции не декодируется")), qPrintable(err));
    QVERIFY2(err.contains(QStringLiteral("Итого: запрограммировано 1, уже содержали файл 1, "
                                         "отказано 2, с ошибкой 1.")),
             qPrintable(err));

    QList<JournalEntry> journal;
    QVERIFY(journal_read(f.path(QLatin1String(JOURNAL_FILE_NAME)), journal, nullptr));
    QCOMPARE(journal.size(), 4);  // the programmed and the failed radio, two lines each
}

QTEST_GUILESS_MAIN(TestK40Series)
#include "tst_k40_series.moc"
