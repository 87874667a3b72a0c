// Runs the k40 executable against the simulated radio over a pseudo-terminal and prints the
// wall time of `k40 read` (plain and traced) and `k40 program` beside the floor of the same
// exchange: every byte it put on the line both ways at ten bits a byte, the wake-up sequence
// of the port's opening and the radio's EEPROM commits. The rest is the protocol's own
// pauses, the process start and the host. The read and the programming run again through a
// USB serial adapter model (latency timer, default 16 ms), and the ratio of the two means is
// printed. Usage:
//   cli_k40_bench [baud [runs [adapter_ms]]]

#include "radio_protocol.h"
#include "simulated_radio.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <clocale>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int WAKE_UP_MS = 300 + 300 + 1000 + 500 + 1500;

QByteArray read_all(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const int baud = argc > 1 ? std::atoi(argv[1]) : 9600;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 2;
    const int adapter_ms = argc > 3 ? std::atoi(argv[3]) : 16;
    const int commit_ms = SimRadioConfig().commit_delay_ms;

    QTemporaryDir dir;
    QFile::copy(QStringLiteral(K40_SOURCE_DIR "/data/torvel.configuration.K40"),
                dir.filePath(QStringLiteral("torvel.configuration.K40")));
    const QByteArray sample = read_all(QStringLiteral(K40_SOURCE_DIR "/data/sample.eep"));
    QFile::copy(QStringLiteral(K40_SOURCE_DIR "/data/sample.eep"),
                dir.filePath(QStringLiteral("sample.eep")));
    // The radio holds the sample with another volume: programming writes one byte.
    QByteArray other = sample;
    other[130] = static_cast<char>((other[130] & 0xE0) | 25);

    std::printf("k40 at %d bit/s over a pseudo-terminal, radio commit time %d ms, wake-up "
                "sequence %d ms\n",
                baud, commit_ms, WAKE_UP_MS);
    struct Case {
        const char *name;
        QStringList arguments;
        QByteArray radio;
        int adapter_ms;
    };
    const QStringList read{QStringLiteral("read"), QStringLiteral("-o"), QStringLiteral("out.eep")};
    const QStringList program{QStringLiteral("program"), QStringLiteral("sample.eep")};
    const QByteArray through =
        QStringLiteral("through a USB adapter, latency timer %1 ms").arg(adapter_ms).toUtf8();
    const QByteArray read_through = "k40 read " + through;
    const QByteArray program_through = "k40 program (one byte) " + through;
    double bare_ms = 0;  // the mean of the bare line's case the next one compares with
    for (const Case &c :
         {Case{"k40 read", read, sample, 0},
          Case{read_through.constData(), read, sample, adapter_ms},
          // Tracing runs beside the exchange: its figure should match the plain read's.
          Case{"k40 read --trace",
               read + QStringList{QStringLiteral("--trace"), QStringLiteral("trace.log")}, sample,
               0},
          Case{"k40 program (one byte)", program, other, 0},
          Case{program_through.constData(), program, other, adapter_ms}}) {
        std::printf("\n%s\n", c.name);
        double total_ms = 0;
        for (int i = 0; i < runs; ++i) {
            SimRadioConfig config;
            config.image = c.radio;
            config.baud = baud;
            config.adapter_latency_ms = c.adapter_ms;
            SimulatedRadio radio(config);
            QString error;
            if (!radio.start(&error)) {
                std::fprintf(stderr, "%s\n", qPrintable(error));
                return 1;
            }
            QFile port(dir.filePath(QStringLiteral("torvel.txt")));
            if (!port.open(QIODevice::WriteOnly))
                return 1;
            port.write(QStringLiteral("[Com_Port_Name]= [%1]\n[Com_Port_BaudRate]= [%2]\n")
                           .arg(radio.device_name())
                           .arg(baud)
                           .toUtf8());
            port.close();

            QProcess k40;
            k40.setWorkingDirectory(dir.path());
            k40.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            QElapsedTimer t;
            t.start();
            k40.start(QStringLiteral(K40_CLI), c.arguments);
            k40.waitForFinished(300000);
            const double ms = t.nsecsElapsed() / 1e6;
            total_ms += ms;
            radio.stop();

            int bytes = 0, commits = 0;
            for (const SimFrame &f : radio.journal()) {
                bytes += f.bytes.size() + sim_reply_size(f.kind);
                commits += f.kind == SimFrameKind::Commit;
            }
            const double line_ms = bytes * 10 * 1000.0 / baud;
            const double floor_ms = line_ms + WAKE_UP_MS + commits * commit_ms;
            std::printf("  run %d: %s %.0f ms; floor %.0f ms = %.0f ms on the line (%d bytes) + "
                        "%d ms wake-up + %d ms commits; %.0f ms over it\n",
                        i + 1, k40.exitCode() == 0 ? "ok" : "FAILED", ms, floor_ms, line_ms, bytes,
                        WAKE_UP_MS, commits * commit_ms, ms - floor_ms);
        }
        const double mean_ms = runs > 0 ? total_ms / runs : 0;
        if (c.adapter_ms > 0 && bare_ms > 0)
            std::printf("  mean %.0f ms, %.3f times the bare line's %.0f ms\n", mean_ms,
                        mean_ms / bare_ms, bare_ms);
        else
            bare_ms = mean_ms;
    }
    return 0;
}
