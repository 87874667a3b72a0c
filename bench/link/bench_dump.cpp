// Times read_image against the simulated radio over a pseudo-terminal and prints it beside
// the floor of the same exchange: the bytes on the line at ten bits a byte plus the
// protocol's own pause. Usage: link_dump_bench [baud [runs]]

#include "com_port.h"
#include "radio_protocol.h"
#include "simulated_radio.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <clocale>
#include <cstdio>
#include <cstdlib>

namespace {

// Skips the wake-up so only the exchange is timed; the protocol's pauses stay real.
class NoWakeUp final : public Sleeper {
public:
    bool skip = true;
    void sleep_ms(int ms) override
    {
        if (!skip)
            real.sleep_ms(ms);
    }
    RealSleeper real;
};

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");  // figures with "." on any desktop
    const int baud = argc > 1 ? std::atoi(argv[1]) : 9600;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;

    SimRadioConfig config;
    config.image = QByteArray(RS_IMAGE_SIZE, '\x5A');
    config.baud = baud;
    SimulatedRadio radio(config);
    QString error;
    if (!radio.start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    NoWakeUp wake;
    set_default_sleeper(&wake);
    com_service_start();
    const int port = com_open(radio.device_name().toLocal8Bit().constData(), baud);
    wake.skip = false;
    if (port < 0)
        return 1;

    // Two requests of 5 bytes out, two dumps of 918 bytes back, one 100 ms pause. A
    // pseudo-terminal delivers the programmer's requests at once and only the radio paces
    // its replies, so the floor here counts the replies; a real line adds the requests.
    const double reply_ms = 2 * RADIO_DUMP_SIZE * 10 * 1000.0 / baud;
    const double request_ms = 2 * 5 * 10 * 1000.0 / baud;
    const double floor_ms = reply_ms + 100;
    const Reporter reporter;
    std::printf("read_image at %d bit/s: floor %.1f ms (replies %.1f ms + 100 ms pause; "
                "a real line adds %.1f ms for the requests)\n",
                baud, floor_ms, reply_ms, request_ms);
    for (int i = 0; i < runs; ++i) {
        RS_EEPROM_IMAGE image{};
        QElapsedTimer t;
        t.start();
        const bool ok = read_image(port, &image, ImageCheck(), reporter);
        const double ms = t.nsecsElapsed() / 1e6;
        std::printf("run %d: %s %.1f ms, %+.1f%% over the floor\n", i + 1, ok ? "ok" : "FAILED", ms,
                    (ms / floor_ms - 1.0) * 100.0);
    }
    com_close(port);
    com_service_stop();
    set_default_sleeper(nullptr);
    return 0;
}
