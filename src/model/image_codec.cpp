#include "image_codec.h"
#include "image_map.h"

#include "frequency.h"
#include "validation.h"

#include <QString>

#include <cstring>
#include <initializer_list>

namespace {

const QString &text_band_unsupported()
{
    static const QString t = QStringLiteral("Данный тип радиостанций не поддерживается");
    return t;
}

uint16_t get16(const RS_EEPROM_IMAGE &img, int addr)
{
    return static_cast<uint16_t>(img.bytes[addr] << 8 | img.bytes[addr + 1]);
}

// The bits of addr that belong to a parameter; the rest is factory data.
uint8_t field_bits(const RS_EEPROM_IMAGE &img, int addr)
{
    return img.bytes[addr] & static_cast<uint8_t>(~image_kept_mask(addr));
}

// Every write goes through the map, so a kept bit can never change.
void put(RS_EEPROM_IMAGE &out, int addr, uint8_t value)
{
    const uint8_t kept = image_kept_mask(addr);
    out.bytes[addr] = static_cast<uint8_t>((out.bytes[addr] & kept) | (value & ~kept));
}

void put16(RS_EEPROM_IMAGE &out, int addr, uint16_t value)
{
    put(out, addr, static_cast<uint8_t>(value >> 8));
    put(out, addr + 1, static_cast<uint8_t>(value & 0xFF));
}

bool is_tuned_band(uint8_t band) { return band == 1 || band == 2; }

}  // namespace

uint8_t koder_from_byte(uint8_t b) { return (b & KODER_ON_BIT) ? (b & ~KODER_ON_BIT & 0xFF) : 0; }

uint8_t koder_to_byte(uint8_t key) { return key ? static_cast<uint8_t>(key | KODER_ON_BIT) : 0x01; }

uint8_t ph_from_byte(uint8_t b)
{
    if (!(b & 0x01))
        return 0;
    switch (b & 0x0F) {
    case 1: return 2;
    case 3: return 1;
    case 9: return 4;
    case 11: return 3;
    case 13:
    case 15: return 5;
    default: return 0;
    }
}

uint8_t ph_to_byte(uint8_t level)
{
    static const uint8_t bytes[] = {0x10, 0x13, 0x11, 0x1B, 0x19, 0x1D};
    return level < sizeof bytes ? bytes[level] : bytes[0];
}

bool decode_image(const ModelContext &ctx, const RS_EEPROM_IMAGE &image, RS_CONF &conf)
{
    const STATION_CONFIG &st = ctx.config();
    conf = RS_CONF{};
    conf.diapazon_code = image.bytes[ADDR_BAND_CODE];
    const uint8_t band = conf.diapazon_code;
    if (!band_known(st, band)) {
        ctx.reporter.report(text_band_unsupported());
        return false;
    }

    for (int slot = 0; slot < RS_CHANNELS; ++slot) {
        const int i = conf_index_of_slot(slot);
        conf.f_prm[i] = code_to_freq(st, band, FreqPath::prm, get16(image, addr_f_prm(slot)));
        conf.f_prd[i] = code_to_freq(st, band, FreqPath::prd, get16(image, addr_f_prd(slot)));
        conf.koder[i] = koder_from_byte(image.bytes[addr_koder(slot)]);
        conf.ph[slot] = ph_from_byte(image.bytes[addr_ph(slot)]);
    }

    const uint8_t wc = image.bytes[ADDR_N_RAB_KANALA];
    conf.n_rab_kanala = (wc == 0 || wc > 8) ? 1 : wc;

    conf.ctcss_prd = round_one_decimal(ctcss_prd_tone(get16(image, ADDR_CTCSS_PRD)));
    conf.ctcss_prm = ctcss_prm_value(get16(image, ADDR_CTCSS_PRM));

    conf.microphone = field_bits(image, ADDR_MICROPHONE);
    conf.vt_prd = vt_prd_tone(get16(image, ADDR_VT_PRD));
    conf.vt_prm = vt_prm_tone(get16(image, ADDR_VT_PRM_TIMER));
    conf.ur_gromk = field_bits(image, ADDR_UR_GROMK);
    conf.zapret = field_bits(image, ADDR_ZAPRET) ? 1 : 0;

    if (is_tuned_band(band)) {
        TUN_POINT points[STATION_MAX_TUN];
        if (select_tun_points(st, band, points) < 2) {
            ctx.reporter.report(
                QStringLiteral("Ошибка: Проверте TUN точки диапазона в конф. файле."));
            return false;
        }
    }
    return true;
}

bool encode_tuning_bytes(const STATION_CONFIG &st, const RS_CONF &conf, RS_EEPROM_IMAGE &out)
{
    if (!is_tuned_band(conf.diapazon_code))
        return false;
    TUN_POINT points[STATION_MAX_TUN];
    const int n = select_tun_points(st, conf.diapazon_code, points);
    if (n < 2)
        return false;
    // The radio's own calibration wins over the station file's voltages. An address outside
    // the image holds no calibration: 0 V.
    for (int i = 0; i < n; ++i) {
        const int a = points[i].Adress;
        points[i].U = image_address_valid(a) ? out.bytes[a] * TUNING_STEP_V : 0.0;
    }
    for (int slot = 0; slot < RS_CHANNELS; ++slot) {
        const int32_t f = conf.f_prm[conf_index_of_slot(slot)];
        const double code = round_half_away(tuning_voltage(points, n, f) / TUNING_STEP_V);
        if (code >= 0 && code <= 255)
            put(out, addr_tuning(slot), static_cast<uint8_t>(255 - static_cast<int>(code)));
    }
    return true;
}

bool encode_image(const ModelContext &ctx, RS_CONF &conf, const RS_EEPROM_IMAGE &base,
                  RS_EEPROM_IMAGE &out, bool conf_read)
{
    const STATION_CONFIG &st = ctx.config();
    const uint8_t base_band = base.bytes[ADDR_BAND_CODE];
    if (&out != &base)
        std::memcpy(out.bytes, base.bytes, RS_IMAGE_SIZE);
    std::memset(out.bytes + RS_IMAGE_SIZE, 0, RS_IMAGE_BUFFER_SIZE - RS_IMAGE_SIZE);

    conf.ctcss_prm = ctcss_prm_quantize(conf.ctcss_prm);
    conf.vt_prd = round_to_tens(conf.vt_prd);
    conf.vt_prm = round_to_tens(conf.vt_prm);
    conf.diapazon_code = base_band;
    const uint8_t band = base_band;

    if (!band_known(st, band)) {
        ctx.reporter.report(text_band_unsupported());
        return false;
    }
    if (!conf_read) {
        ctx.reporter.post(QStringLiteral("Сначала необходимо считать параметры"));
        return false;
    }

    put(out, ADDR_ZAPRET, conf.zapret ? ZAPRET_BIT : 0);
    if (check_conf_before_encode(ctx, conf, out.bytes[ADDR_ZAPRET]))
        return false;

    for (FreqPath path : {FreqPath::prm, FreqPath::prd}) {
        for (int slot = 0; slot < RS_CHANNELS; ++slot) {
            const int i = conf_index_of_slot(slot);
            const int32_t f = path == FreqPath::prm ? conf.f_prm[i] : conf.f_prd[i];
            uint16_t code = 0;
            if (!freq_to_code(st, band, path, f, code))
                return false;
            put16(out, path == FreqPath::prm ? addr_f_prm(slot) : addr_f_prd(slot), code);
        }
    }

    put(out, ADDR_N_RAB_KANALA, conf.n_rab_kanala > 8 ? 1 : conf.n_rab_kanala);
    for (int slot = 0; slot < RS_CHANNELS; ++slot) {
        put(out, addr_koder(slot), koder_to_byte(conf.koder[conf_index_of_slot(slot)]));
        put(out, addr_ph(slot), ph_to_byte(conf.ph[slot]));
    }
    put16(out, ADDR_CTCSS_PRD, ctcss_prd_code(conf.ctcss_prd));
    put16(out, ADDR_CTCSS_PRM, ctcss_prm_code(conf.ctcss_prm / CTCSS_PRM_CORRECTION));
    put(out, ADDR_MICROPHONE, conf.microphone);
    put(out, ADDR_UR_GROMK, conf.ur_gromk);
    put16(out, ADDR_VT_PRD, vt_prd_code(conf.vt_prd));
    put16(out, ADDR_VT_PRM_TIMER, vt_prm_timer(conf.vt_prm));
    put(out, ADDR_VT_PRM_WINDOW, vt_prm_window(conf.vt_prm));

    return encode_tuning_bytes(st, conf, out);
}
