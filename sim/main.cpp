// k40_radio_sim: a simulated radio on a pseudo-terminal, for tests, demos and training.

#include "simulated_radio.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <cstdio>
#include <thread>

namespace {

volatile std::sig_atomic_t stop_requested = 0;

void on_signal(int) { stop_requested = 1; }

bool parse_int(const QString &text, int &out)
{
    bool ok = false;
    out = text.toInt(&ok, 0);  // 0x20 and 32 alike
    return ok;
}

int usage_error(const QString &text)
{
    std::fprintf(stderr, "k40_radio_sim: %s\n", qPrintable(text));
    return 2;
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("k40_radio_sim"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated radio on a pseudo-terminal. Prints \"device: PATH\" when ready and answers "
        "until interrupted."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("image.eep"),
                                 QStringLiteral("153-byte image, saved after every commit"));
    const QCommandLineOption link({QStringLiteral("l"), QStringLiteral("link")},
                                  QStringLiteral("Also make a symbolic link PATH to the device."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption baud(
        {QStringLiteral("b"), QStringLiteral("baud")},
        QStringLiteral("Line speed the replies are paced at (default 9600)."), QStringLiteral("N"),
        QStringLiteral("9600"));
    const QCommandLineOption commit(
        QStringLiteral("commit-delay"),
        QStringLiteral("Milliseconds an EEPROM commit takes (default 40)."), QStringLiteral("MS"),
        QStringLiteral("40"));
    const QCommandLineOption latency(
        QStringLiteral("reply-latency"),
        QStringLiteral("Milliseconds before the first byte of every reply (default 0)."),
        QStringLiteral("MS"), QStringLiteral("0"));
    const QCommandLineOption adapter(
        QStringLiteral("adapter-latency"),
        QStringLiteral("Answer through a USB serial adapter whose latency timer is MS: "
                       "replies reach the computer in packets of up to 62 bytes, when 62 "
                       "are waiting or MS after the first (default 0, a bare line)."),
        QStringLiteral("MS"), QStringLiteral("0"));
    const QCommandLineOption deaf(
        QStringLiteral("deaf-while-transmitting"),
        QStringLiteral("Lose the write packets sent while transmitting."));
    const QCommandLineOption state(
        QStringLiteral("state"),
        QStringLiteral("Initial state bytes G,NK,SOST (NK defaults to image address 60)."),
        QStringLiteral("G,NK,SOST"));
    const QCommandLineOption transmitting(QStringLiteral("transmitting"),
                                          QStringLiteral("Start transmitting (SOST bit 0x20)."));
    const QCommandLineOption tone_call(QStringLiteral("tone-call"),
                                       QStringLiteral("Start in a tone call (SOST bit 0x10)."));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Seed of the fault generator (default 1)."),
                                  QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption fault(
        {QStringLiteral("f"), QStringLiteral("fault")},
        QStringLiteral("Inject a fault, NAME[/KINDS][=WHEN]; repeatable. See README."),
        QStringLiteral("FAULT"));
    const QCommandLineOption vanish(
        QStringLiteral("vanish-at"),
        QStringLiteral("The device disappears on the N-th request (1-based)."),
        QStringLiteral("N"));
    const QCommandLineOption journal({QStringLiteral("j"), QStringLiteral("journal")},
                                     QStringLiteral("Append one line per received frame to FILE."),
                                     QStringLiteral("FILE"));
    const QCommandLineOption control(
        QStringLiteral("control"),
        QStringLiteral("Watch FILE for a line \"unplug\" (the cable is pulled) or \"plug "
                       "IMAGE.eep\" (another radio with that image on the cable, under the same "
                       "--link path); each new content of FILE is one command."),
        QStringLiteral("FILE"));
    parser.addOptions({control, link, baud, commit, latency, adapter, deaf, state, transmitting,
                       tone_call, seed, fault, vanish, journal});
    parser.process(app);

    const QStringList args = parser.positionalArguments();
    if (args.size() != 1)
        return usage_error(QStringLiteral("give exactly one image file (see --help)"));
    SimRadioConfig config;
    config.eep_path = args.first();
    config.link_path = parser.value(link);
    config.journal_path = parser.value(journal);
    if (!parse_int(parser.value(baud), config.baud) || config.baud <= 0)
        return usage_error(QStringLiteral("bad --baud"));
    if (!parse_int(parser.value(commit), config.commit_delay_ms) || config.commit_delay_ms < 0)
        return usage_error(QStringLiteral("bad --commit-delay"));
    if (!parse_int(parser.value(latency), config.reply_latency_ms) || config.reply_latency_ms < 0)
        return usage_error(QStringLiteral("bad --reply-latency"));
    if (!parse_int(parser.value(adapter), config.adapter_latency_ms)
        || config.adapter_latency_ms < 0)
        return usage_error(QStringLiteral("bad --adapter-latency"));
    config.deaf_while_transmitting = parser.isSet(deaf);
    if (parser.isSet(state)) {
        const QStringList parts = parser.value(state).split(QLatin1Char(','));
        if (parts.size() != 3 || !parse_int(parts[0], config.g) || !parse_int(parts[1], config.nk)
            || !parse_int(parts[2], config.sost))
            return usage_error(QStringLiteral("bad --state, use G,NK,SOST"));
    }
    if (parser.isSet(transmitting))
        config.sost |= 0x20;
    if (parser.isSet(tone_call))
        config.sost |= 0x10;
    int seed_value = 1;
    if (!parse_int(parser.value(seed), seed_value))
        return usage_error(QStringLiteral("bad --seed"));
    config.faults.seed = static_cast<uint32_t>(seed_value);
    for (const QString &rule : parser.values(fault)) {
        QString error;
        if (!parse_fault(rule, config.faults, &error))
            return usage_error(error);
    }
    if (parser.isSet(vanish)) {
        int n = 0;
        if (!parse_int(parser.value(vanish), n) || n < 1)
            return usage_error(QStringLiteral("bad --vanish-at"));
        config.faults.vanish_at = n - 1;
    }

    SimulatedRadio radio(config);
    QString error;
    if (!radio.start(&error))
        return usage_error(error);
    std::signal(SIGINT, on_signal);
    std::signal(SIGTERM, on_signal);
    std::printf("device: %s\n", qPrintable(radio.device_name()));
    if (!config.link_path.isEmpty())
        std::printf("link: %s\n", qPrintable(config.link_path));
    std::fflush(stdout);

    QByteArray last_command;
    while (!stop_requested && (!radio.vanished() || parser.isSet(control))) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!parser.isSet(control))
            continue;
        QFile f(parser.value(control));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray command = f.readAll().trimmed();
        if (command == last_command)
            continue;
        last_command = command;
        if (command == "unplug") {
            radio.unplug();
            std::printf("unplugged\n");
        } else if (command.startsWith("plug ")) {
            SimRadioConfig next = config;
            next.eep_path = QString::fromLocal8Bit(command.mid(5).trimmed());
            QString why;
            if (radio.plug_in(next, &why))
                std::printf("device: %s\n", qPrintable(radio.device_name()));
            else
                std::printf("plug failed: %s\n", qPrintable(why));
        }
        std::fflush(stdout);
    }
    if (radio.vanished()) {
        std::printf("vanished\n");
        std::fflush(stdout);
    }
    radio.stop();
    return 0;
}
