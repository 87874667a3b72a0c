// The simulated radio itself: its fault options, its frame parsing and EEPROM, and the
// executable as later end-to-end tests start it.

#include "link_fixture.h"
#include "radio_protocol.h"
#include "radio_model.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

QByteArray replies(const std::vector<SimAction> &actions)
{
    QByteArray all;
    for (const SimAction &a : actions)
        all += a.reply;
    return all;
}

std::vector<SimAction> feed(RadioModel &m, const QByteArray &bytes)
{
    return m.feed(reinterpret_cast<const uint8_t *>(bytes.constData()), bytes.size());
}

QByteArray packet(int address, int value)
{
    return QByteArray("$PD") + char(address) + char(value) + '\r';
}

// One request on the radio's device opened raw, as a serial port would be: the size of
// every piece a read returned and when the reply was complete, in ms after the request.
struct Arrival {
    QList<int> pieces;
    qint64 complete_ms = -1;
};

Arrival exchange(const QString &device, int baud, const QByteArray &request, int length)
{
    Arrival a;
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return a;
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetspeed(&t, baud == 57600 ? B57600 : B9600);
    tcsetattr(fd, TCSANOW, &t);
    QElapsedTimer clock;
    clock.start();
    int got = 0;
    if (::write(fd, request.constData(), size_t(request.size())) == request.size()) {
        while (got < length && clock.elapsed() < 5000) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            char buffer[2048];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            a.pieces << int(n);
            got += int(n);
        }
    }
    if (got == length)
        a.complete_ms = clock.elapsed();
    ::close(fd);
    return a;
}

}  // namespace

class SimRadioTest : public QObject {
    Q_OBJECT

private slots:
    void fault_options_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("rate");
        QTest::addColumn<unsigned>("replies");
        QTest::newRow("always by default") << "silent" << true << 0 << -1 << 0.0 << 31u;
        QTest::newRow("always") << "garbage=always" << true << 0 << -1 << 0.0 << 31u;
        QTest::newRow("one occurrence") << "dump-differs=2" << true << 1 << 1 << 0.0 << 31u;
        QTest::newRow("range") << "wrong-echo=1-3" << true << 0 << 3 << 0.0 << 31u;
        QTest::newRow("from on") << "miss-commit=4-" << true << 3 << -1 << 0.0 << 31u;
        QTest::newRow("chance") << "corrupt-byte=p0.25" << true << 0 << 0 << 0.25 << 31u;
        QTest::newRow("kinds") << "silent/state,echo=1-2" << true << 0 << 2 << 0.0 << 9u;
        QTest::newRow("unknown name") << "sulk" << false << 0 << 0 << 0.0 << 0u;
        QTest::newRow("kinds on a particular fault")
            << "wrong-echo/dump" << false << 0 << 0 << 0.0 << 0u;
        QTest::newRow("unknown kind") << "silent/radio" << false << 0 << 0 << 0.0 << 0u;
        QTest::newRow("zero occurrence") << "silent=0" << false << 0 << 0 << 0.0 << 0u;
        QTest::newRow("backwards range") << "silent=3-2" << false << 0 << 0 << 0.0 << 0u;
        QTest::newRow("chance above one") << "silent=p2" << false << 0 << 0 << 0.0 << 0u;
    }
    void fault_options()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        SimFaults faults;
        QString error;
        QCOMPARE(parse_fault(text, faults, &error), ok);
        QCOMPARE(error.isEmpty(), ok);
        if (!ok)
            return;
        const QString name = text.section(QLatin1Char('='), 0, 0).section(QLatin1Char('/'), 0, 0);
        const FaultRule &rule = name == "silent"         ? faults.silent
                                : name == "garbage"      ? faults.garbage
                                : name == "dump-differs" ? faults.dump_differs
                                : name == "wrong-echo"   ? faults.wrong_echo
                                : name == "miss-commit"  ? faults.miss_commit
                                                         : faults.corrupt_byte;
        QTEST(rule.first, "first");
        QTEST(rule.count, "count");
        QTEST(rule.rate, "rate");
        QTEST(rule.replies, "replies");
    }

    void frames_are_found_in_any_byte_stream()
    {
        RadioModel m(test_image(), SimState{1, 2, 0}, SimFaults(), 0);
        const QByteArray state("$SS\x01\x02\x00\r", 7);
        QCOMPARE(replies(feed(m, "xx\r$P$PSS\r")), state);  // noise and a broken frame
        QByteArray split = "$PSS\r";
        QByteArray got;
        for (char c : split)
            got += replies(feed(m, QByteArray(1, c)));
        QCOMPARE(got, state);
        // Address and value bytes that look like framing are data.
        QCOMPARE(replies(feed(m, packet('$', '\r') + "$PSD\r")), QByteArray("$SD$\r\r", 6));
        QCOMPARE(m.journal().size(), size_t(4));
        QCOMPARE(format_frame(m.journal()[2]), QStringLiteral("PD 36 13"));
    }

    void commit_keeps_the_last_batch_and_skips_fillers()
    {
        RadioModel m(test_image(), SimState{}, SimFaults(), 25);
        QByteArray first, second;
        for (int i = 0; i < 8; ++i)
            first += packet(100 + i, 1);
        for (int i = 0; i < 7; ++i)
            second += packet(i ? RADIO_FILLER_ADDRESS : 0, 0x5A);
        second += packet(152, 0x11);
        feed(m, first + second);  // a batch sent again replaces the one before
        const std::vector<SimAction> done = feed(m, QByteArray("$PC\x06\r", 5));
        QCOMPARE(done.size(), size_t(1));
        QVERIFY(done[0].committed);
        QCOMPARE(done[0].delay_ms, 25);
        QCOMPARE(done[0].reply.size(), 7);
        QByteArray expected = test_image();
        expected[0] = 0x5A;
        expected[152] = 0x11;
        QCOMPARE(m.image(), expected);
        QCOMPARE(m.write_packets().size(), size_t(16));
        QCOMPARE(replies(feed(m, "$PSD\r")), QByteArray());  // nothing left pending
    }

    void mode_commands_change_the_state_data()
    {
        QTest::addColumn<int>("nk");
        QTest::addColumn<int>("kept");
        QTest::newRow("channel 8") << 8 << 8;
        QTest::newRow("channel 0 refused") << 0 << 2;
        QTest::newRow("channel 9 refused") << 9 << 2;
    }
    void mode_commands_change_the_state()
    {
        QFETCH(int, nk);
        RadioModel m(test_image(), SimState{1, 2, 0x20}, SimFaults(), 0);
        const QByteArray reply = replies(
            feed(m, QByteArray("$MC") + char(4) + char(nk) + '\0' + '\r'));
        QCOMPARE(reply.size(), 7);
        QTEST(int(m.state().nk), "kept");
        QCOMPARE(int(uint8_t(reply[4])), int(m.state().nk));
    }

    void faults_repeat_for_a_seed()
    {
        SimFaults faults;
        faults.seed = 42;
        faults.corrupt_byte = FaultRule::chance(0.5);
        faults.drop_byte = FaultRule::chance(0.3);
        RadioModel a(test_image(), SimState{}, faults, 0), b(test_image(), SimState{}, faults, 0);
        for (int i = 0; i < 20; ++i)
            QCOMPARE(replies(feed(a, "$PSE\r")), replies(feed(b, "$PSE\r")));
    }

    void vanishes_on_the_chosen_request()
    {
        SimFaults faults;
        faults.vanish_at = 1;
        RadioModel m(test_image(), SimState{}, faults, 0);
        QCOMPARE(replies(feed(m, "$PSS\r")).size(), 7);
        const std::vector<SimAction> gone = feed(m, packet(1, 1) + "$PSS\r$PSS\r");
        QCOMPARE(gone.size(), size_t(1));
        QVERIFY(gone[0].vanish);
    }

    // The bench of a series: the cable pulled, another radio connected under the same link.
    void control_file_replaces_the_radio()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString first = dir.filePath("first.eep"), second = dir.filePath("second.eep");
        const QString link = dir.filePath("ttyK40"), control = dir.filePath("control");
        QByteArray other = test_image();
        other[61] = char(0x42);
        for (const auto &[path, bytes] :
             {std::pair{first, test_image()}, std::pair{second, other}}) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        QProcess sim;
        sim.start(QStringLiteral(K40_RADIO_SIM),
                  {first, "--link", link, "--baud", "57600", "--control", control});
        QVERIFY(sim.waitForStarted());
        const auto next_line = [&sim]() {
            QElapsedTimer t;
            t.start();
            while (!sim.canReadLine() && t.elapsed() < 5000)
                sim.waitForReadyRead(100);
            return sim.readLine().trimmed();
        };
        QVERIFY(next_line().startsWith("device: "));
        QVERIFY(next_line().startsWith("link: "));
        const auto command = [&](const QByteArray &text) {
            QFile f(control);
            return f.open(QIODevice::WriteOnly | QIODevice::Truncate)
                   && f.write(text) == text.size();
        };
        TestSleeper sleeper;
        const ComServiceScope service(sleeper);
        const Reporter reporter(nullptr, &sleeper);
        const auto image_on_link = [&](QByteArray &bytes) {
            const int port = com_open(QFile::encodeName(link).constData(), 57600);
            RS_EEPROM_IMAGE image{};
            const bool ok = port >= 0 && read_image(port, &image, ImageCheck(), reporter);
            if (port >= 0)
                com_close(port);
            bytes = QByteArray(reinterpret_cast<const char *>(image.bytes), RS_IMAGE_SIZE);
            return ok;
        };
        QByteArray seen;
        QVERIFY(image_on_link(seen));
        QCOMPARE(seen, test_image());

        QVERIFY(command("unplug\n"));
        QCOMPARE(next_line(), QByteArray("unplugged"));
        QVERIFY(!QFileInfo::exists(link));
        QVERIFY(command("plug " + QFile::encodeName(second) + "\n"));
        QVERIFY(next_line().startsWith("device: "));
        QVERIFY(image_on_link(seen));
        QCOMPARE(seen, other);

        sim.terminate();
        QVERIFY(sim.waitForFinished(3000));
        QCOMPARE(sim.exitCode(), 0);
    }

    void executable_serves_a_programmer()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString eep = dir.filePath("radio.eep");
        const QString link = dir.filePath("ttyK40");
        const QString journal = dir.filePath("journal.txt");
        {
            QFile f(eep);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(test_image());
        }
        QProcess sim;
        sim.start(QStringLiteral(K40_RADIO_SIM),
                  {eep, "--link", link, "--baud", "57600", "--journal", journal, "--state",
                   "0,5,0x20", "--commit-delay", "5"});
        QVERIFY(sim.waitForStarted());
        QVERIFY(sim.waitForReadyRead(5000));
        const QByteArray first = sim.readLine();
        QVERIFY2(first.startsWith("device: /dev/pts/"), first.constData());
        QVERIFY(QFileInfo(link).isSymLink());

        TestSleeper sleeper;
        const ComServiceScope service(sleeper);
        const Reporter reporter(nullptr, &sleeper);
        const int port = com_open(QFile::encodeName(link).constData(), 57600);
        QVERIFY(port >= 0);
        uint8_t state[RADIO_STATE_SIZE];
        QVERIFY(query_state(port, state, reporter));
        QCOMPARE(QByteArray(reinterpret_cast<char *>(state), 7), QByteArray("$SS\0\x05\x20\r", 7));
        uint8_t batch[RADIO_BATCH_SIZE];
        for (int i = 0; i < RADIO_BATCH_PACKETS; ++i)
            make_write_packet(batch + i * RADIO_RECORD_SIZE, i ? RADIO_FILLER_ADDRESS : 61, 0x99);
        QVERIFY(write_batch(port, batch, reporter));
        com_close(port);

        sim.terminate();
        QVERIFY(sim.waitForFinished(3000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());

        QFile saved(eep);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QByteArray expected = test_image();
        expected[61] = char(0x99);
        QCOMPARE(saved.readAll(), expected);
        QFile lines(journal);
        QVERIFY(lines.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList got = QString::fromUtf8(lines.readAll()).split('\n', Qt::SkipEmptyParts);
        QStringList want{"PSS", "PD 61 153"};
        for (int i = 1; i < RADIO_BATCH_PACKETS; ++i)
            want << "PD 159 153";
        want << "PSD"
             << "PC";
        QCOMPARE(got, want);
    }

    void deaf_while_transmitting_loses_write_packets()
    {
        RadioModel m(test_image(), SimState{0, 1, 0x20}, SimFaults(), 0);
        m.set_deaf_while_transmitting(true);
        feed(m, packet(10, 0x77));
        QCOMPARE(replies(feed(m, "$PSD\r")), QByteArray());
        feed(m, QByteArray("$MC\0\x01\0\r", 7));  // off the air
        feed(m, packet(10, 0x77));
        QCOMPARE(replies(feed(m, "$PSD\r")), QByteArray("$SD\x0a\x77\r", 6));
    }

    // The radio listens at its own speed, 8N1 only: a programmer set otherwise gets no
    // answer, and the journal says why.
    void hears_only_its_own_line_settings_data()
    {
        QTest::addColumn<int>("speed");
        QTest::addColumn<QString>("note");
        QTest::newRow("right speed") << 9600 << QString();
        QTest::newRow("another speed")
            << 19200 << QStringLiteral("line 19200 8N1, radio 9600 8N1: ignored");
    }
    void hears_only_its_own_line_settings()
    {
        QFETCH(int, speed);
        QFETCH(QString, note);
        QTemporaryDir dir;
        SimRadioConfig config;
        config.image = test_image();
        config.baud = 9600;
        config.journal_path = dir.filePath("journal.txt");
        SimulatedRadio radio(config);
        QVERIFY(radio.start());
        TestSleeper sleeper;
        const ComServiceScope service(sleeper);
        const int port = com_open(radio.device_name().toLocal8Bit().constData(), speed);
        QVERIFY(port >= 0);
        uint8_t state[RADIO_STATE_SIZE];
        const bool answered = query_state(port, state, Reporter(nullptr, &sleeper));
        com_close(port);
        radio.stop();

        QCOMPARE(answered, note.isEmpty());
        QCOMPARE(radio.frames_received() > 0, note.isEmpty());
        QCOMPARE(radio.line_notes(), note.isEmpty() ? QStringList() : QStringList{note});
        QFile lines(config.journal_path);
        const QString journal = lines.open(QIODevice::ReadOnly) ? QString::fromUtf8(lines.readAll())
                                                                : QString();
        QCOMPARE(journal.startsWith(note.isEmpty() ? QStringLiteral("PSS") : note), true);
    }

    // Every reply waits its latency first: a state reply at 9600 bit/s still fits the
    // query's 100 ms pause, a latency past it does not.
    void reply_latency_delays_every_reply_data()
    {
        QTest::addColumn<int>("latency");
        QTest::addColumn<bool>("answered");
        QTest::newRow("10 ms") << 10 << true;
        QTest::newRow("300 ms") << 300 << false;
    }
    void reply_latency_delays_every_reply()
    {
        QFETCH(int, latency);
        QFETCH(bool, answered);
        SimRadioConfig config;
        config.image = test_image();
        config.baud = 9600;
        config.reply_latency_ms = latency;
        SimulatedRadio radio(config);
        QVERIFY(radio.start());
        TestSleeper sleeper;
        const ComServiceScope service(sleeper);
        const int port = com_open(radio.device_name().toLocal8Bit().constData(), 9600);
        uint8_t reply[RADIO_STATE_SIZE] = {};
        const uint8_t query[] = {'$', 'P', 'S', 'S', 0x0D};
        com_purge_rx(port);
        QCOMPARE(com_write(port, query, 5), 5);
        sleeper.sleep_ms(100);
        QCOMPARE(com_read(port, reply, RADIO_STATE_SIZE) == RADIO_STATE_SIZE, answered);
        com_close(port);
        radio.stop();
    }

    // Through the adapter a reply reaches the computer in packets of at most 62 bytes, each
    // when 62 are waiting or the latency timer, started by its first byte, runs out. Lower
    // bounds are the model's own; upper bounds leave room for a busy machine.
    void adapter_hands_over_in_packets_data()
    {
        QTest::addColumn<int>("adapter");
        QTest::addColumn<int>("start");  // the radio's start delay
        QTest::addColumn<int>("baud");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("length");
        const QByteArray state("$PSS\r"), dump("$PSE\r");
        QTest::newRow("state reply, 16 ms, radio 10 ms") << 16 << 10 << 9600 << state << 7;
        QTest::newRow("state reply, 32 ms") << 32 << 0 << 9600 << state << 7;
        QTest::newRow("dump, 16 ms at 57600 bit/s") << 16 << 0 << 57600 << dump << 918;
        QTest::newRow("dump, Bluetooth 64 ms") << 64 << 0 << 9600 << dump << 918;
    }
    void adapter_hands_over_in_packets()
    {
        QFETCH(int, adapter);
        QFETCH(int, start);
        QFETCH(int, baud);
        QFETCH(QByteArray, request);
        QFETCH(int, length);
        SimRadioConfig config;
        config.image = test_image();
        config.baud = baud;
        config.adapter_latency_ms = adapter;
        config.reply_latency_ms = start;
        SimulatedRadio radio(config);
        QVERIFY(radio.start());
        const Arrival a = exchange(radio.device_name(), baud, request, length);
        radio.stop();

        QVERIFY2(a.complete_ms >= 0, "the reply did not arrive whole");
        const qint64 line_ms = qint64(length) * 10000 / baud;
        const QString seen = QStringLiteral("pieces %1 complete after %2 ms")
                                 .arg(QString::number(a.pieces.size()))
                                 .arg(a.complete_ms);
        QVERIFY2(a.complete_ms >= start + line_ms, qPrintable(seen));
        QVERIFY2(a.complete_ms < start + line_ms + adapter + 300, qPrintable(seen));
        if (length < 62) {
            // A short reply waits out the whole timer and comes in one packet.
            QVERIFY2(a.complete_ms >= start + adapter, qPrintable(seen));
            QCOMPARE(a.pieces, QList<int>{length});
        } else {
            // A reader late by a packet sees two together, never part of one.
            QVERIFY2(a.pieces.size() > 1, qPrintable(seen));
            for (int i = 0; i + 1 < a.pieces.size(); ++i)
                QVERIFY2(a.pieces[i] % 62 == 0, qPrintable(seen));
        }
    }

    void executable_refuses_bad_options_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no image") << QStringList();
        QTest::newRow("missing image") << QStringList{"/nonexistent/radio.eep"};
        QTest::newRow("bad fault") << QStringList{"x.eep", "--fault", "sulk"};
        QTest::newRow("bad baud") << QStringList{"x.eep", "--baud", "fast"};
        QTest::newRow("bad state") << QStringList{"x.eep", "--state", "1,2"};
        QTest::newRow("bad latency") << QStringList{"x.eep", "--reply-latency", "-5"};
    }
    void executable_refuses_bad_options()
    {
        QFETCH(QStringList, args);
        QProcess sim;
        sim.start(QStringLiteral(K40_RADIO_SIM), args);
        QVERIFY(sim.waitForFinished(3000));
        QCOMPARE(sim.exitCode(), 2);
    }
};

QTEST_GUILESS_MAIN(SimRadioTest)
#include "tst_sim_radio.moc"
