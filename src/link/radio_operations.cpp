#include "radio_operations.h"

#include "com_port.h"
#include "frequency.h"
#include "image_codec.h"
#include "image_map.h"
#include "radio_protocol.h"
#include "validation.h"

#include <cstring>

static_assert(STATION_PORT_NAME_MAX <= COM_NAME_MAX, "every station port name can be opened");

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
    if (form.exact) {
        build_exact_image(old_image, *form.exact, new_image);
        return true;
    }
    form_refused = !build_program_image(ctx, form, old_image, new_image);
    return !form_refused;
}

// Sends every differing programmable address, eight packets a batch; a short last batch
// is padded with copies of its first packet aimed at the ignored filler address.
bool cancelled(const ProgramRun *run) { return run && run->cancel && run->cancel->load(); }

bool send_differences(const ModelContext &ctx, int port, const RS_EEPROM_IMAGE &old_image,
                      const RS_EEPROM_IMAGE &new_image, int round, ProgramRun *run)
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
        if (cancelled(run)) {
            run->cancelled = true;
            return false;
        }
        sent += packets;
        ctx.reporter.progress(ProgressStep::WriteBatch, sent, total);
        if (run)
            for (int i = 0; i < packets; ++i)
                run->sent_addresses.push_back(batch[i * RADIO_RECORD_SIZE + RADIO_RECORD_ADDRESS]);
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

// Switches the radio to the working channel and gives back transmission and the tone call,
// then asks the radio whether it did: neither mode command's outcome says so, and a run
// must not report success with the radio left on another channel or off the air. A lost
// or garbled reply is made good by repeating the steps.
bool restore_radio(const ModelContext &ctx, int port, const ProgramForm &form, uint8_t nk0,
                   const uint8_t *keys_old, const uint8_t *keys_new, bool was_transmitting,
                   bool was_calling)
{
    const Reporter &r = ctx.reporter;
    const int wc = form.wc ? form.wc : nk0;
    const uint8_t wanted = (was_transmitting ? RADIO_SOST_TRANSMITTING : 0)
                           | (was_calling ? RADIO_SOST_TONE_CALL : 0);
    constexpr uint8_t WATCHED = RADIO_SOST_BIT3 | RADIO_SOST_TRANSMITTING | RADIO_SOST_TONE_CALL;
    constexpr int ATTEMPTS = 3;
    for (int attempt = 0; attempt < ATTEMPTS; ++attempt) {
        uint8_t state[RADIO_STATE_SIZE];
        if (query_state(port, state, r)) {
            put_mode_command(state);
            state[RADIO_STATE_NK] = static_cast<uint8_t>(wc);
            const bool key_changed = wc < KEY_SLOTS && keys_old[wc] != keys_new[wc]
                                     && keys_new[wc] != 0;
            // A scrambler switched on with a new key needs the radio's long
            // re-initialisation.
            const int delay = (wc != nk0 && key_changed) ? 11000 : 300;
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
        if (query_state(port, state, r) && state[0] == '$' && state[1] == 'S' && state[2] == 'S'
            && state[RADIO_STATE_NK] == wc && (state[RADIO_STATE_SOST] & WATCHED) == wanted)
            return true;
    }
    r.post(utf8_text("Ошибка: память радиостанции записана и проверена, но радиостанция не "
                     "подтвердила рабочий канал и прежнее состояние (передача, тональный "
                     "вызов)"));
    return false;
}

// After an abort: transmission and the tone call back as they were, the channel left.
bool put_state_back(const ModelContext &ctx, int port, bool was_transmitting, bool was_calling)
{
    const Reporter &r = ctx.reporter;
    uint8_t state[RADIO_STATE_SIZE];
    if (!query_state(port, state, r))
        return false;
    put_mode_command(state);
    if (was_transmitting)
        state[RADIO_STATE_SOST] |= RADIO_SOST_TRANSMITTING;
    if (was_calling)
        state[RADIO_STATE_SOST] |= RADIO_SOST_TONE_CALL;
    return execute_command(port, state, RADIO_COMMAND_DELAY_MS, r);
}

}  // namespace

void build_exact_image(const RS_EEPROM_IMAGE &radio, const RS_EEPROM_IMAGE &exact,
                       RS_EEPROM_IMAGE &target)
{
    target = radio;
    for (int address = 0; address < RS_IMAGE_SIZE; ++address)
        if (is_programmable_address(address) && address != ADDR_N_RAB_KANALA)
            target.bytes[address] = exact.bytes[address];
}

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

bool fetch_radio_image(const ModelContext &ctx, int &com_port_id, RS_EEPROM_IMAGE &image,
                       bool *undecodable)
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
    if (undecodable) {
        *undecodable = false;
        if (!read_image(com_port_id, &image, ImageCheck(), r)) {
            r.post(utf8_text(NO_CONTACT));
            return false;
        }
        RS_CONF conf;
        *undecodable = !decode_image(ctx, image, conf);
        return !*undecodable;
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
    if (!form.flag_conf_read && !form.exact) {
        r.post(utf8_text("Сначала необходимо считать параметры"));
        return false;
    }
    if (cancelled(run)) {
        run->cancelled = true;
        return false;
    }

    uint8_t command[RADIO_STATE_SIZE];
    if (!query_state(port, command, r))
        return false;
    const uint8_t nk0 = command[RADIO_STATE_NK];

    bool was_transmitting = false;
    bool was_calling = false;
    // Every way out from here on; the caller may want the radio's state back.
    const auto fail = [&]() {
        if (run && run->restore_state_on_abort && (was_transmitting || was_calling)) {
            run->state_restore_failed = !put_state_back(ctx, port, was_transmitting, was_calling);
            if (run->state_restore_failed)
                r.post(utf8_text("Ошибка: не удалось вернуть радиостанции прежнее состояние "
                                 "(передача, тональный вызов)"));
        }
        return false;
    };
    const auto stop_requested = [&]() {
        if (!cancelled(run))
            return false;
        run->cancelled = true;
        return true;
    };

    if (command[RADIO_STATE_SOST] & RADIO_SOST_TRANSMITTING) {
        was_transmitting = true;
        if (run)
            run->state_changed = true;
        command[RADIO_STATE_SOST] &= static_cast<uint8_t>(~RADIO_SOST_TRANSMITTING);
        put_mode_command(command);
        if (!execute_command(port, command, RADIO_COMMAND_DELAY_MS, r)) {
            r.post(utf8_text("Error: Уход с передачи при программировании"));
            return fail();
        }
    }
    if (command[RADIO_STATE_SOST] & RADIO_SOST_TONE_CALL) {
        was_calling = true;
        if (run)
            run->state_changed = true;
        command[RADIO_STATE_SOST] &= static_cast<uint8_t>(~RADIO_SOST_TONE_CALL);
        put_mode_command(command);
        if (!execute_command(port, command, RADIO_COMMAND_DELAY_MS, r)) {
            r.post(utf8_text("Error: Отмена тонвызова при программировании"));
            return fail();
        }
    }

    if (!form.form_filled && !form.exact) {
        r.post(utf8_text("Ошибка: Поля редактирования не заполнены."));
        r.reading_pause(1000);
        return fail();
    }
    if (stop_requested())
        return fail();

    RS_EEPROM_IMAGE old_image, new_image;
    bool form_refused = false;
    if (!prepare_images(ctx, port, form, old_image, new_image, form_refused)) {
        if (run)
            run->form_refused = form_refused;
        r.post(utf8_text("Error: Проверка параметров в форме редактирования при программировании"));
        return fail();
    }
    uint8_t keys_old[KEY_SLOTS], keys_new[KEY_SLOTS];
    scrambler_keys(old_image, keys_old);
    scrambler_keys(new_image, keys_new);
    if (run) {
        run->radio_before = old_image;
        run->target = new_image;
        run->images_ready = true;
    }
    if (stop_requested())
        return fail();
    if (run && run->before_writing && !run->before_writing(old_image, new_image))
        return fail();

    constexpr int ROUNDS = 3;
    for (int round = 1; !images_equal(old_image, new_image); ++round) {
        if (stop_requested())
            return fail();
        if (run)
            run->writes_begun = true;
        if (!send_differences(ctx, port, old_image, new_image, round, run))
            return fail();
        if (stop_requested())
            return fail();
        r.progress(ProgressStep::ReadBack, round);
        if (!read_image(port, &old_image, ctx)) {
            r.post(utf8_text(NO_CONTACT));
            return fail();
        }
        if (run) {
            run->read_back = old_image;
            run->read_back_valid = true;
        }
        if (round == ROUNDS && !images_equal(old_image, new_image)) {
            r.post(utf8_text("Error: Не совпадает EEPROM "));
            return fail();
        }
    }

    if (run)
        run->memory_verified = true;
    const bool restored = restore_radio(ctx, port, form, nk0, keys_old, keys_new, was_transmitting,
                                        was_calling);
    // Nothing tries again after this: a caller must not tell the state is back.
    if (run && !restored && (was_transmitting || was_calling))
        run->state_restore_failed = true;
    return restored;
}
