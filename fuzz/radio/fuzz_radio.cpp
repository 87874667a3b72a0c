// A hostile radio: the input is everything the radio answers while the programmer reads it
// and then programs the sample edit into it (the script format of ScriptedFarEnd: per
// request a control byte, then the reply). The real channel, protocol and sequences run
// over a serial line in memory on a virtual clock. Besides the sanitizers' checks:
// - every operation ends within a bounded (virtual) time;
// - a read succeeds only from two whole, identical, well-framed dumps, and the window's
//   buffer then holds exactly what they say; a failed read leaves it as it was;
// - programming succeeds only when the radio's last dumps, as the programmer reads them,
//   show the image the edit encodes over what the radio showed first;
// - whatever the radio answers, programming writes only programmable addresses (or the
//   filler), each with its value in that image, and nothing before a dump was accepted.

#include "com_port.h"
#include "image_codec.h"
#include "memory_line.h"
#include "radio_operations.h"
#include "radio_protocol.h"
#include "station_loader.h"
#include "two_batch_edit.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int BAUD = 9600;
// Far beyond the slowest run the retry counts allow; more means a loop.
constexpr int64_t LONGEST_OPERATION_US = 30LL * 60 * 1000 * 1000;

void require(bool ok)
{
    if (!ok)
        __builtin_trap();
}

struct Setup {
    STATION_CONFIG station{};
    ProgramForm form;
    bool ready = false;

    Setup()
    {
        // Loaded from a copy: the loader leaves a port file beside the station file.
        QTemporaryDir dir;
        const QString name = QString::fromLatin1(STATION_CONF_FILE_NAME);
        if (!QFile::copy(QStringLiteral(K40_SOURCE_DIR "/data/") + name, dir.filePath(name))
            || read_station_conf_from_file(&station, dir.path().toStdString())
                   != StationLoadResult::Loaded)
            return;
        std::strncpy(station.Com_Port_Name, "memory", sizeof station.Com_Port_Name - 1);
        station.Com_Port_BaudRate = BAUD;
        QFile f(QStringLiteral(K40_SOURCE_DIR "/data/sample.eep"));
        const QByteArray sample = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        if (sample.size() != RS_IMAGE_SIZE)
            return;
        RS_EEPROM_IMAGE img{};
        std::memcpy(img.bytes, sample.constData(), RS_IMAGE_SIZE);
        ModelContext ctx{&station, Reporter()};
        if (!decode_image(ctx, img, form.conf))
            return;
        apply_two_batch_edit(form.conf, form.wc);
        form.flag_conf_read = true;
        form.form_filled = true;
        com_service_start();
        ready = true;
    }
};

class Quiet final : public MessageSink {
public:
    void show_text(const QString &) override {}
};

// The image buffers an operation's dump reads leave, as read_image applies them: the reads
// come in rounds of two; a round whose copies are whole, equal and framed is applied.
// The write packets ("$PD" address value CR) among the programmer's bytes.
struct Writes {
    std::vector<std::pair<uint8_t, uint8_t>> packets;

    void note(const uint8_t *data, int length)
    {
        if (length != RADIO_BATCH_SIZE)
            return;
        for (int i = 0; i < RADIO_BATCH_PACKETS; ++i) {
            const uint8_t *p = data + i * RADIO_RECORD_SIZE;
            if (p[0] == '$' && p[1] == 'P' && p[2] == 'D')
                packets.emplace_back(p[RADIO_RECORD_ADDRESS], p[RADIO_RECORD_VALUE]);
        }
    }
};

struct Dumps {
    std::vector<QByteArray> reads;

    // Applies every accepted round to `image`; returns how many rounds were accepted and
    // whether the last round was one of them.
    int apply(RS_EEPROM_IMAGE &image, bool &last_accepted, RS_EEPROM_IMAGE *first = nullptr) const
    {
        int accepted = 0;
        last_accepted = false;
        for (size_t i = 0; i + 1 < reads.size(); i += 2) {
            const QByteArray &a = reads[i];
            const QByteArray &b = reads[i + 1];
            last_accepted = a.size() == RADIO_DUMP_SIZE && a == b
                            && check_image_records(reinterpret_cast<const uint8_t *>(a.constData()),
                                                   RADIO_DUMP_SIZE);
            if (!last_accepted)
                continue;
            for (int r = 0; r < RS_IMAGE_SIZE; ++r)
                image.bytes[uint8_t(a[r * RADIO_RECORD_SIZE + RADIO_RECORD_ADDRESS])] = uint8_t(
                    a[r * RADIO_RECORD_SIZE + RADIO_RECORD_VALUE]);
            if (++accepted == 1 && first)
                *first = image;
        }
        if (reads.size() % 2)
            last_accepted = false;
        return accepted;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Setup setup;
    require(setup.ready);

    VirtualClock clock;
    ScriptedFarEnd far_end(data, size);
    Dumps dumps;
    Writes writes;
    com_set_device_factory([&]() {
        auto line = std::make_unique<MemoryLine>(clock, BAUD,
                                                 [&far_end, &writes](const uint8_t *d, int n) {
                                                     writes.note(d, n);
                                                     return far_end(d, n);
                                                 });
        line->on_read = [&dumps](const uint8_t *buffer, int length, int result) {
            if (length == RADIO_DUMP_SIZE)
                dumps.reads.push_back(
                    QByteArray(reinterpret_cast<const char *>(buffer), result > 0 ? result : 0));
        };
        return line;
    });
    set_default_sleeper(&clock);
    Quiet quiet;
    const ModelContext ctx{&setup.station, Reporter(&quiet, &clock)};

    // Reading into a buffer unlike any radio.
    RS_EEPROM_IMAGE buffer;
    std::memset(&buffer, 0xA5, sizeof buffer);
    const RS_EEPROM_IMAGE before = buffer;
    RS_EEPROM_IMAGE expected = buffer;
    int port = -1;
    int64_t start = clock.now_us();
    const bool read = fetch_radio_image(ctx, port, buffer);
    require(clock.now_us() - start <= LONGEST_OPERATION_US);
    bool last_accepted = false;
    dumps.apply(expected, last_accepted);
    if (read)
        require(last_accepted);
    require(std::memcmp(&buffer, read ? &expected : &before, sizeof buffer) == 0);
    require(writes.packets.empty());
    dumps.reads.clear();

    start = clock.now_us();
    const bool programmed = program_radio(ctx, port, setup.form);
    require(clock.now_us() - start <= LONGEST_OPERATION_US);
    RS_EEPROM_IMAGE shown{}, first{};
    const int accepted = dumps.apply(shown, last_accepted, &first);
    if (accepted == 0) {
        require(!programmed && writes.packets.empty());
    } else {
        // The new image: the edit encoded over what the radio showed first; its working
        // channel byte is never written.
        RS_CONF conf = setup.form.conf;
        RS_EEPROM_IMAGE wanted{};
        const bool encoded = encode_image(ctx, conf, first, wanted, true);
        require(encoded || (!programmed && writes.packets.empty()));
        wanted.bytes[ADDR_N_RAB_KANALA] = first.bytes[ADDR_N_RAB_KANALA];
        for (const auto &[address, value] : writes.packets)
            require(address == RADIO_FILLER_ADDRESS
                    || (is_programmable_address(address) && address != ADDR_N_RAB_KANALA
                        && value == wanted.bytes[address]));
        if (programmed)
            require(last_accepted && std::memcmp(shown.bytes, wanted.bytes, RS_IMAGE_SIZE) == 0);
    }

    // K40_FUZZ_VERBOSE=1 with a replayed input tells how the run went.
    static const bool verbose = std::getenv("K40_FUZZ_VERBOSE") != nullptr;
    if (verbose)
        std::printf("read %s, programming %s, %lld ms in all\n", read ? "OK" : "failed",
                    programmed ? "OK" : "failed", static_cast<long long>(clock.now_us() / 1000));

    // No device may outlive this input's clock and script.
    for (int i = 0; i < COM_PORT_COUNT; ++i)
        com_close(i);
    set_default_sleeper(nullptr);
    com_set_device_factory(nullptr);
    return 0;
}
