// Times program_radio against the simulated radio over a pseudo-terminal for two
// configurations, one differing from the radio in every programmable address and one in a
// single byte, each beside the floor of its own exchange. Each run first reads the radio as
// the window does (untimed). The radio is as slow as a real one: it answers after a
// latency and takes its time to commit. Usage:
//   link_program_bench [baud [runs [latency_ms [commit_ms]]]]

#include "com_port.h"
#include "image_codec.h"
#include "image_map.h"
#include "radio_operations.h"
#include "radio_protocol.h"
#include "simulated_radio.h"
#include "station_loader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

// Sleeps for real; sums the waits while counting, skips them while not (the wake-up).
class CountingSleeper final : public Sleeper {
public:
    bool counting = false;
    void sleep_ms(int ms) override
    {
        if (!counting)
            return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            total_ms_ += ms;
        }
        real_.sleep_ms(ms);
    }
    long long take()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const long long t = total_ms_;
        total_ms_ = 0;
        return t;
    }

private:
    RealSleeper real_;
    std::mutex mutex_;
    long long total_ms_ = 0;
};

QByteArray bytes_of(const RS_EEPROM_IMAGE &image)
{
    return QByteArray(reinterpret_cast<const char *>(image.bytes), RS_IMAGE_SIZE);
}

struct Exchange {
    int sent = 0;     // request bytes
    int replied = 0;  // reply bytes
    int serial = 0;   // reply bytes read after the wait that precedes them
    int commits = 0;
    int packets = 0;  // write packets, fillers included
    int late = 0;     // replies read after their request's wait, each delayed by the latency
};

// State and mode replies arrive inside the protocol's wait that follows their request, so
// they add no time of their own; dumps, echoes and commit replies are waited for after.
Exchange count_exchange(const SimulatedRadio &radio, size_t from)
{
    Exchange e;
    const std::vector<SimFrame> frames = radio.journal();
    for (size_t i = from; i < frames.size(); ++i) {
        const SimFrame &f = frames[i];
        e.sent += f.bytes.size();
        const int reply = sim_reply_size(f.kind);
        e.replied += reply;
        if (f.kind != SimFrameKind::StateQuery && f.kind != SimFrameKind::ModeCommand) {
            e.serial += reply;
            e.late += reply > 0;
        }
        e.commits += f.kind == SimFrameKind::Commit;
        e.packets += f.kind == SimFrameKind::WritePacket;
    }
    return e;
}

struct Case {
    const char *name;
    QByteArray radio_image;
    int differing = 0;
};

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");  // figures with "." on any desktop
    const int baud = argc > 1 ? std::atoi(argv[1]) : 9600;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 2;
    const int latency_ms = argc > 3 ? std::atoi(argv[3]) : 5;
    const int commit_delay_ms = argc > 4 ? std::atoi(argv[4]) : SimRadioConfig().commit_delay_ms;

    QTemporaryDir scratch;
    QFile::copy(QStringLiteral(K40_SOURCE_DIR "/data/torvel.configuration.K40"),
                scratch.filePath(QStringLiteral("torvel.configuration.K40")));
    STATION_CONFIG station;
    std::memset(&station, 0, sizeof station);
    if (read_station_conf_from_file(&station, scratch.path().toStdString())
        != StationLoadResult::Loaded) {
        std::fprintf(stderr, "the shipped station did not load\n");
        return 1;
    }
    station.Com_Port_BaudRate = baud;
    CountingSleeper sleeper;
    set_default_sleeper(&sleeper);
    ModelContext ctx{&station, Reporter(nullptr, &sleeper)};

    // The configuration to program: the sample radio's, as the form would encode it.
    QFile sample(QStringLiteral(K40_SOURCE_DIR "/data/sample.eep"));
    if (!sample.open(QIODevice::ReadOnly))
        return 1;
    RS_EEPROM_IMAGE base{}, target{};
    std::memcpy(base.bytes, sample.read(RS_IMAGE_SIZE).constData(), RS_IMAGE_SIZE);
    ProgramForm form;
    if (!decode_image(ctx, base, form.conf) || !encode_image(ctx, form.conf, base, target, true)) {
        std::fprintf(stderr, "the sample image does not decode\n");
        return 1;
    }
    target.bytes[ADDR_N_RAB_KANALA] = base.bytes[ADDR_N_RAB_KANALA];
    form.flag_conf_read = true;
    form.form_filled = true;
    // No channel switch, so no long re-initialisation wait.
    form.wc = target.bytes[ADDR_N_RAB_KANALA];

    // Radios that hold something else: every programmable address the form rewrites flipped
    // in a bit it controls (the others are kept from the radio, so they never differ), or
    // just the volume. Address 60 is the radio's working channel, never written.
    Case every{"every address the form writes", bytes_of(target)};
    Case one{"one byte", bytes_of(target)};
    int programmable = 0;
    for (int a = 0; a < RS_IMAGE_SIZE; ++a) {
        if (!is_programmable_address(a) || a == 60)
            continue;
        ++programmable;
        for (int bit = 0; bit < 8; ++bit) {
            RS_EEPROM_IMAGE probe = target, out{};
            probe.bytes[a] ^= static_cast<uint8_t>(1u << bit);
            RS_CONF conf = form.conf;
            if (!encode_image(ctx, conf, probe, out, true) || out.bytes[a] == probe.bytes[a])
                continue;
            every.radio_image[a] = static_cast<char>(probe.bytes[a]);
            ++every.differing;
            if (one.differing == 0 && a == ADDR_UR_GROMK) {
                one.radio_image[a] = static_cast<char>(probe.bytes[a]);
                one.differing = 1;
            }
            break;
        }
    }
    if (one.differing == 0) {
        std::fprintf(stderr, "the volume is not written by the form\n");
        return 1;
    }

    com_service_start();
    std::printf("program_radio at %d bit/s over a pseudo-terminal, radio reply latency %d ms, "
                "commit time %d ms; the form writes %d of the %d programmable addresses, the "
                "others are kept\n",
                baud, latency_ms, commit_delay_ms, every.differing, programmable);
    for (const Case &c : {every, one}) {
        std::printf("\n%s: %d addresses differ\n", c.name, c.differing);
        for (int i = 0; i < runs; ++i) {
            SimRadioConfig config;
            config.image = c.radio_image;
            config.baud = baud;
            config.reply_latency_ms = latency_ms;
            config.commit_delay_ms = commit_delay_ms;
            SimulatedRadio radio(config);
            QString error;
            if (!radio.start(&error)) {
                std::fprintf(stderr, "%s\n", qPrintable(error));
                return 1;
            }
            const QByteArray name = radio.device_name().toLocal8Bit();
            std::strncpy(station.Com_Port_Name, name.constData(), sizeof station.Com_Port_Name - 1);
            sleeper.counting = false;
            int port = com_open(station.Com_Port_Name, baud);
            sleeper.counting = true;  // the read's waits are real, and not counted below
            RS_EEPROM_IMAGE read_back{};
            const bool read_ok = fetch_radio_image(ctx, port, read_back)
                                 && bytes_of(read_back) == c.radio_image;
            if (!read_ok)
                std::printf("  read before run %d: FAILED\n", i + 1);
            const size_t frames_before = radio.journal().size();
            sleeper.take();

            QElapsedTimer t;
            t.start();
            const bool ok = program_radio(ctx, port, form);
            const double ms = t.nsecsElapsed() / 1e6;
            const long long waits = sleeper.take();
            com_close(port);
            radio.stop();

            const Exchange e = count_exchange(radio, frames_before);
            const double serial_ms = e.serial * 10 * 1000.0 / baud;
            const double floor_ms = serial_ms + waits + e.commits * commit_delay_ms
                                    + e.late * latency_ms;
            const bool holds = radio.image() == bytes_of(target);
            if (i == 0)
                std::printf("  exchange: %d packets, %d commits, %d bytes out, %d back; "
                            "floor %.1f ms = %.1f ms on the line (%d reply bytes) + %lld ms "
                            "protocol waits + %d ms radio commits + %d ms latency; a real "
                            "line adds %.1f ms for the requests\n",
                            e.packets, e.commits, e.sent, e.replied, floor_ms, serial_ms, e.serial,
                            waits, e.commits * commit_delay_ms, e.late * latency_ms,
                            e.sent * 10 * 1000.0 / baud);
            std::printf("  run %d: %s %.1f ms, %+.1f%% over the floor\n", i + 1,
                        ok && holds ? "ok" : "FAILED", ms, (ms / floor_ms - 1.0) * 100.0);
        }
    }
    com_service_stop();
    set_default_sleeper(nullptr);
    return 0;
}
