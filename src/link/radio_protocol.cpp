#include "radio_protocol.h"

#include "com_port.h"
#include "image_codec.h"
#include "image_map.h"

#include <cstring>
#include <vector>

namespace {

const uint8_t STATE_QUERY[5] = {'$', 'P', 'S', 'S', 0x0D};
const uint8_t DUMP_REQUEST[5] = {'$', 'P', 'S', 'E', 0x0D};
const uint8_t ECHO_REQUEST[5] = {'$', 'P', 'S', 'D', 0x0D};
const uint8_t COMMIT_REQUEST[5] = {'$', 'P', 'C', 0x06, 0x0D};

constexpr int STATE_TRIES = 4;
constexpr int WRITE_TRIES = 3;
constexpr int COMMAND_ATTEMPTS = 4;
constexpr int DUMP_ROUNDS = 2;
constexpr int ECHO_READS = 4;
constexpr int VERIFY_LIMIT = 4;
constexpr int STATE_WAIT_MS = 100;
constexpr int CONFIRM_WAIT_MS = 200;
constexpr int DUMP_WAIT_MS = 100;
constexpr int BATCH_RETRY_WAIT_MS = 10;
constexpr int ECHO_EXTRA_MS = 500;
constexpr int COMMIT_EXTRA_MS = 15000;

bool send(int port, const uint8_t *data, int length)
{
    return com_write(port, data, length) == length;
}

// Purge, write; on failure purge and write again, up to WRITE_TRIES writes in all.
bool send_with_tries(int port, const uint8_t *data, int length)
{
    com_purge_rx(port);
    for (int tries = 1;; ++tries) {
        if (send(port, data, length))
            return true;
        if (tries >= WRITE_TRIES)
            return false;
        com_purge_rx(port);
    }
}

bool echo_matches(const uint8_t *echo, const uint8_t *batch)
{
    for (int i = 0; i < RADIO_BATCH_PACKETS; ++i) {
        const uint8_t *e = echo + i * RADIO_RECORD_SIZE;
        const uint8_t *b = batch + i * RADIO_RECORD_SIZE;
        if (e[0] != '$' || e[1] != 'S' || e[2] != 'D' || e[5] != 0x0D
            || e[RADIO_RECORD_ADDRESS] != b[RADIO_RECORD_ADDRESS]
            || e[RADIO_RECORD_VALUE] != b[RADIO_RECORD_VALUE])
            return false;
    }
    return true;
}

}  // namespace

bool query_state(int port, uint8_t *sost, const Reporter &reporter)
{
    if (port < 0 || !sost) {
        reporter.post(utf8_text("Error: Получение состояния РС - my_c_port < 0 || sost == 0"));
        return false;
    }
    int write_failures = 0;
    for (int attempt = 0; attempt < STATE_TRIES; ++attempt) {
        std::memset(sost, 0, RADIO_STATE_SIZE);
        com_purge_rx(port);
        while (!send(port, STATE_QUERY, sizeof STATE_QUERY)) {
            if (++write_failures >= WRITE_TRIES) {
                reporter.post(utf8_text("Error: Получение состояния РС - запись в COM порт"));
                return false;
            }
            com_purge_rx(port);
        }
        reporter.pause(STATE_WAIT_MS);
        if (com_read(port, sost, RADIO_STATE_SIZE) == RADIO_STATE_SIZE)
            return true;
    }
    reporter.post(utf8_text("Error: Получение состояния РС - чтени из COM порта."));
    return false;
}

bool execute_command(int port, uint8_t *command, int delay_ms, const Reporter &reporter)
{
    if (!command)
        return false;
    uint8_t sent[RADIO_STATE_SIZE];
    std::memcpy(sent, command, sizeof sent);
    for (int attempt = 0; attempt < COMMAND_ATTEMPTS; ++attempt) {
        if (!send_with_tries(port, sent, RADIO_STATE_SIZE)) {
            reporter.post(utf8_text("Ошибка выполнения команды к радиостанции."));
            return false;
        }
        reporter.pause(delay_ms);
        uint8_t reply[RADIO_STATE_SIZE];
        if (com_read(port, reply, RADIO_STATE_SIZE) != RADIO_STATE_SIZE)
            continue;
        reporter.pause(CONFIRM_WAIT_MS);
        if (!query_state(port, command, reporter))
            return false;
        return std::memcmp(command + RADIO_STATE_G, sent + RADIO_STATE_G, 3) == 0;
    }
    reporter.post(
        utf8_text("Ошибка выполнения команды к радиостанции - не получен ответ от станции."));
    return false;
}

bool read_image(int port, RS_EEPROM_IMAGE *image, const ImageCheck &decodes,
                const Reporter &reporter)
{
    if (port < 0 || !image)
        return false;
    std::vector<uint8_t> first(RS_IMAGE_BUFFER_SIZE), second(RS_IMAGE_BUFFER_SIZE);
    for (int round = 0; round < DUMP_ROUNDS; ++round) {
        reporter.pause(DUMP_WAIT_MS);
        std::fill(first.begin(), first.end(), 0);
        std::fill(second.begin(), second.end(), 0);
        int copy_number = 0;
        for (std::vector<uint8_t> *copy : {&first, &second}) {
            reporter.progress(ProgressStep::Dump, ++copy_number, 2);
            com_purge_rx(port);
            if (!send(port, DUMP_REQUEST, sizeof DUMP_REQUEST)) {
                reporter.post(utf8_text("Не удалось записать в порт."));
                return false;
            }
            if (com_read(port, copy->data(), RADIO_DUMP_SIZE) < RADIO_DUMP_SIZE)
                return false;
        }
        if (first != second || !check_image_records(first.data(), RADIO_DUMP_SIZE))
            continue;
        // Applied to a copy: an image that does not decode must not replace what the
        // caller's buffer holds (the window saves its form over that buffer).
        RS_EEPROM_IMAGE dumped = *image;
        for (int r = 0; r < RS_IMAGE_SIZE; ++r) {
            const uint8_t *record = first.data() + r * RADIO_RECORD_SIZE;
            dumped.bytes[record[RADIO_RECORD_ADDRESS]] = record[RADIO_RECORD_VALUE];
        }
        if (decodes && !decodes(dumped))
            return false;
        *image = dumped;
        return true;
    }
    return false;
}

bool read_image(int port, RS_EEPROM_IMAGE *image, const ModelContext &ctx)
{
    const ImageCheck decodes = [&ctx](const RS_EEPROM_IMAGE &img) {
        RS_CONF conf;
        return decode_image(ctx, img, conf);
    };
    return read_image(port, image, decodes, ctx.reporter);
}

bool write_batch(int port, const uint8_t *batch, const Reporter &reporter)
{
    if (!batch)
        return false;
    int verify = 0;
    int echo_reads = 0;
    for (;;) {
        uint8_t reply[RS_IMAGE_BUFFER_SIZE] = {};

        com_purge_rx(port);
        for (int tries = 1; !send(port, batch, RADIO_BATCH_SIZE); ++tries) {
            if (tries >= WRITE_TRIES) {
                reporter.post(utf8_text("Error: Запись в порт 8 пакетов при программировании"));
                return false;
            }
            reporter.post(utf8_text(
                "Error: Запись в порт 8 пакетов при программировании. Повторяем операцию."));
            reporter.pause(BATCH_RETRY_WAIT_MS);
            com_purge_rx(port);
        }

        com_purge_rx(port);
        for (int tries = 1; !send(port, ECHO_REQUEST, sizeof ECHO_REQUEST); ++tries) {
            if (tries >= WRITE_TRIES) {
                reporter.post(utf8_text("Error: Запись в порт запроса на считывание 8 пакетов при "
                                        "программировании"));
                return false;
            }
            reporter.post(utf8_text("Error: Запись в порт запроса на считывание 8 пакетов при "
                                    "программировании. Повторяем операцию."));
            com_purge_rx(port);
        }

        ++echo_reads;
        const int got = com_read_extra(port, reply, RADIO_BATCH_SIZE, ECHO_EXTRA_MS);
        if (got != RADIO_BATCH_SIZE) {
            if (echo_reads >= ECHO_READS)
                return false;
            reporter.post(
                got < 0
                    ? utf8_text("Error: Считано из порта более 8 пакетов при программировании")
                    : utf8_text("Error: Считано из порта менее 8 пакетов при программировании"));
            continue;
        }
        echo_reads = 0;

        if (!echo_matches(reply, batch)) {
            if (++verify < VERIFY_LIMIT) {
                reporter.post(utf8_text("Error: Не совпали записанные и считанные в порт 8 пакетов "
                                        "при программировании. Повторяем операцию."));
                continue;
            }
            reporter.post(utf8_text("Error: Не совпали записанные и считанные в порт 8 пакетов "
                                    "при программировании"));
            return false;
        }

        if (!send_with_tries(port, COMMIT_REQUEST, sizeof COMMIT_REQUEST)) {
            reporter.post(utf8_text("Error: Разрешение на запись EEPROM при программировании"));
            return false;
        }
        uint8_t done[RADIO_STATE_SIZE];
        if (com_read_extra(port, done, RADIO_STATE_SIZE, COMMIT_EXTRA_MS) == RADIO_STATE_SIZE)
            return true;
        if (++verify < VERIFY_LIMIT) {
            reporter.post(
                utf8_text("Error: Не прошла команда на запись в EEPROM. Повторяем операцию."));
            continue;
        }
        reporter.post(utf8_text("Error: Не прошла команда на запись в EEPROM"));
        return false;
    }
}

bool check_image_records(const uint8_t *dump, int length)
{
    if (!dump || length != RADIO_DUMP_SIZE)
        return false;
    for (int r = 0; r < RS_IMAGE_SIZE; ++r) {
        const uint8_t *record = dump + r * RADIO_RECORD_SIZE;
        if (record[0] != '$' || record[1] != 'S' || record[2] != 'E')
            return false;
    }
    return true;
}

bool is_programmable_address(int address)
{
    // The image's one address table decides, as it does for the codec.
    return image_address_programmable(address);
}

void make_write_packet(uint8_t *out, uint8_t address, uint8_t value)
{
    out[0] = '$';
    out[1] = 'P';
    out[2] = 'D';
    out[RADIO_RECORD_ADDRESS] = address;
    out[RADIO_RECORD_VALUE] = value;
    out[5] = 0x0D;
}
