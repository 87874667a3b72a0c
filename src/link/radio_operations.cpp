#include "radio_operations.h"

#include "com_port.h"
#include "frequency.h"
#include "image_codec.h"
#include "image_map.h"
#include "radio_protocol.h"
#include "validation.h"

#include <cstring>

namespace {

const char *const NO_CONTACT = "Не удалось войти в связь";

// A port that does not open says why, beside the run's own messages.
int open_station_port(const ModelContext &ctx)
{
    const STATION_CONFIG &st = ctx.config();
    const int index = com_open(st.Com_Port_Name, st.Com_Port_BaudRate);
    if (index < 0)
        ctx.reporter.note(
            QStringLiteral("Не удалось открыть порт %1: %2")
                .arg(QString::fromLocal8Bit(st.Com_Port_Name), com_last_open_error()));
    return index;
}

bool images_equal(const RS_EEPROM_IMAGE &a, const RS_EEPROM_IMAGE &b)
{
    return std::memcmp(a.bytes, b.bytes, RS_IMAGE_SIZE) == 0;
}

void put_mode_command(uint8_t *state)
{
    state[0] = '$';
    state[1] = 'M';
    state[2] = 'C';
}

// Scrambler keys by channel index: 1..8 are channels 1..8, 9 is channel R, 0 has none.
constexpr int KEY_SLOTS = 10;
void scrambler_keys(const RS_EEPROM_IMAGE &image, uint8_t *keys)
{
    keys[0] = 255;
    for (int i = 1; i <= 8; ++i)
        keys[i] = koder_from_byte(image.bytes[addr_koder(i)]);
    keys[9] = koder_from_byte(image.bytes[addr_koder(0)]);
}

bool prepare_images(const ModelContext &ctx, int port, const ProgramForm &form,
                    RS_EEPROM_IMAGE &old_image, RS_EEPROM_IMAGE &new_image, bool &form_refused)
{
    std::memset(&old_image, 0, sizeof old_image);
    std::memset(&new_image, 0, sizeof new_image);
    if (!read_image(port, &old_image, ctx)) {
        ctx.reporter.post(utf8_text(NO_CONTACT));
        return false;
    }
    form_refused = !build_program_image(ctx, form, old_image, new_image);
    return !form_refused;
}

// Sends every differing programmable address, eight packets a batch; a short last batch
// is padded with copies of its first packet aimed at the ignored filler address.
bool send_differences(const ModelContext &ctx, int port, const RS_EEPROM_IMAGE &old_image,
                      const RS_EEPROM_IMAGE &new_image, int round)
{
    int total = 0;
    for (int address = 0; address < RS_IMAGE_SIZE; ++address)
        total += old_image.bytes[address] != new_image.bytes[address]
                 && is_programmable_address(address);
    ctx.reporter.progress(ProgressStep::WriteRound, round, total);
    uint8_t batch[RADIO_BATCH_SIZE];
    int packets = 0;
    int sent = 0;
    const auto send = [&]() {
        sent += packets;
        ctx.reporter.progress(ProgressStep::WriteBatch, sent, total);
        if (write_batch(port, batch, ctx.reporter))
            return true;
        ctx.reporter.post(utf8_text("Error: Отправка 8 пакетов в р/ст"));
        return false;
    };
    for (int address = 0; address < RS_IMAGE_SIZE; ++address) {
        if (old_image.bytes[address] == new_image.bytes[address]
            || !is_programmable_address(address))
            continue;
        make_write_packet(batch + packets * RADIO_RECORD_SIZE, static_cast<uint8_t>(address),
                          new_image.bytes[address]);
        if (++packets == RADIO_BATCH_PACKETS) {
            if (!send())
                return false;
            packets = 0;
        }
    }
    if (packets == 0)
        return true;
    for (int i = packets; i < RADIO_BATCH_PACKETS; ++i) {
        uint8_t *packet = batch + i * RADIO_RECORD_SIZE;
        std::memcpy(packet, batch, RADIO_RECORD_SIZE);
        packet[RADIO_RECORD_ADDRESS] = RADIO_FILLER_ADDRESS;
    }
    return send();
}

void restore_radio(const ModelContext &ctx, int port, const ProgramForm &form, uint8_t nk0,
                   const uint8_t *keys_old, const uint8_t *keys_new, bool was_transmitting,
                   bool was_calling)
{
    const Reporter &r = ctx.reporter;
    uint8_t state[RADIO_STATE_SIZE];
    const int wc = form.wc;
    if (query_state(port, state, r)) {
        put_mode_command(state);
        state[RADIO_STATE_NK] = form.wc;
        const bool key_changed = wc < KEY_SLOTS && keys_old[wc] != keys_new[wc]
                                 && keys_new[wc] != 0;
        // A scrambler switched on with a new key needs the radio's long re-initialisation.
        const int delay = (form.wc != nk0 && key_changed) ? 11000 : 300;
        execute_command(port, state, delay, r);
    }
    if (query_state(port, state, r)) {
        put_mode_command(state);
        state[RADIO_STATE_SOST] &= static_cast<uint8_t>(~RADIO_SOST_BIT3);
        if (was_transmitting)
            state[RADIO_STATE_SOST] |= RADIO_SOST_TRANSMITTING;
        if (was_calling)
            state[RADIO_STATE_SOST] |= RADIO_SOST_TONE_CALL;
        execute_command(port, state, RADIO_COMMAND_DELAY_MS, r);
    }
}

}  // namespace

bool build_program_image(const ModelContext &ctx, const ProgramForm &form,
                         const RS_EEPROM_IMAGE &old_image, RS_EEPROM_IMAGE &new_image)
{
    const Reporter &r = ctx.reporter;
    std::memset(&new_image, 0, sizeof new_image);
    const uint8_t radio_band = old_image.bytes[ADDR_BAND_CODE];
    if (!band_known(ctx.config(), radio_band)) {
        r.report(utf8_text("Данный тип радиостанций не поддерживается"));
        return false;
    }
    RS_CONF conf = form.conf;
    if (conf.diapazon_code != radio_band) {
        r.report(utf8_text("Ошибка: Программируемая радиостанция имеет другой диапазон."));
        r.hint(utf8_text("Нажмите \"Считать параметры\" или \"Считать из файла\"."));
        return false;
    }
    const bool ok = validate_conf(ctx, conf)
                    && encode_image(ctx, conf, old_image, new_image, form.flag_conf_read)
                    && decode_image(ctx, new_image, conf) && validate_conf(ctx, conf);
    if (!ok) {
        r.report(utf8_text("Ошибка в веденных данных конфигурации радиостанции."));
        return false;
    }
    // The working channel is switched on the running radio, never stored.
    new_image.bytes[ADDR_N_RAB_KANALA] = old_image.bytes[ADDR_N_RAB_KANALA];
    return true;
}

bool fetch_radio_image(const ModelContext &ctx, int &com_port_id, RS_EEPROM_IMAGE &image)
{
    const Reporter &r = ctx.reporter;
    r.post(utf8_text("Пожалуйта подождите: получение настроек из радиостанции"));
    r.progress(ProgressStep::WakeUp);
    com_port_id = open_station_port(ctx);

    static const uint8_t query[] = {'$', 'P', 'S', 'S', 0x0D};
    com_purge_rx(com_port_id);
    if (com_write(com_port_id, query, sizeof query) != static_cast<int>(sizeof query)) {
        r.post(utf8_text(NO_CONTACT));
        return false;
    }
    uint8_t reply[RADIO_STATE_SIZE] = {};
    const int got = com_read(com_port_id, reply, RADIO_STATE_SIZE);
    if (got == 0) {
        r.post(utf8_text("Ответ не получен. Проверьте установки COM-порта в файле"));
        return false;
    }
    if (got != RADIO_STATE_SIZE) {
        r.post(utf8_text(NO_CONTACT));
        return false;
    }
    if (reply[0] != '$' || reply[1] != 'S' || reply[2] != 'S' || reply[6] != 0x0D) {
        r.post(utf8_text("Считаны неверные данные"));
        return false;
    }
    if (!read_image(com_port_id, &image, ctx)) {
        r.post(utf8_text(NO_CONTACT));
        return false;
    }
    return true;
}

bool program_radio(const ModelContext &ctx, int &com_port_id, const ProgramForm &form,
                   ProgramRun *run)
{
    const Reporter &r = ctx.reporter;
    r.progress(ProgressStep::WakeUp);
    com_port_id = open_station_port(ctx);
    if (com_port_id < 0)
        return false;
    const int port = com_port_id;
    if (!form.flag_conf_read) {
        r.post(utf8_text("Сначала необходимо считать параметры"));
        return false;
    }

    uint8_t command[RADIO_STATE_SIZE];
    if (!query_state(port, command, r))
        return false;
    const uint8_t nk0 = command[RADIO_STATE_NK];

    const bool was_transmitting = command[RADIO_STATE_SOST] & RADIO_SOST_TRANSMITTING;
    if (was_transmitting) {
        command[RADIO_STATE_SOST] &= static_cast<uint8_t>(~RADIO_SOST_TRANSMITTING);
        put_mode_command(command);
        if (!execute_command(port, command, RADIO_COMMAND_DELAY_MS, r)) {
            r.post(utf8_text("Error: Уход с передачи при программировании"));
            return false;
        }
    }
    const bool was_calling = command[RADIO_STATE_SOST] & RADIO_SOST_TONE_CALL;
    if (was_calling) {
        command[RADIO_STATE_SOST] &= static_cast<uint8_t>(~RADIO_SOST_TONE_CALL);
        put_mode_command(command);
        if (!execute_command(port, command, RADIO_COMMAND_DELAY_MS, r)) {
            r.post(utf8_text("Error: Отмена тонвызова при программировании"));
            return false;
        }
    }

    if (!form.form_filled) {
        r.post(utf8_text("Ошибка: Поля редактирования не заполнены."));
        r.reading_pause(1000);
        return false;
    }

    RS_EEPROM_IMAGE old_image, new_image;
    bool form_refused = false;
    if (!prepare_images(ctx, port, form, old_image, new_image, form_refused)) {
        if (run)
            run->form_refused = form_refused;
        r.post(utf8_text("Error: Проверка параметров в форме редактирования при программировании"));
        return false;
    }
    uint8_t keys_old[KEY_SLOTS], keys_new[KEY_SLOTS];
    scrambler_keys(old_image, keys_old);
    scrambler_keys(new_image, keys_new);
    if (run && run->before_writing && !run->before_writing(old_image))
        return false;

    constexpr int ROUNDS = 3;
    for (int round = 1; !images_equal(old_image, new_image); ++round) {
        if (run)
            run->writes_begun = true;
        if (!send_differences(ctx, port, old_image, new_image, round))
            return false;
        r.progress(ProgressStep::ReadBack, round);
        if (!read_image(port, &old_image, ctx)) {
            r.post(utf8_text(NO_CONTACT));
            return false;
        }
        if (round == ROUNDS && !images_equal(old_image, new_image)) {
            r.post(utf8_text("Error: Не совпадает EEPROM "));
            return false;
        }
    }

    restore_radio(ctx, port, form, nk0, keys_old, keys_new, was_transmitting, was_calling);
    return true;
}
