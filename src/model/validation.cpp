#include "validation.h"

#include "frequency.h"
#include "image_map.h"

#include <QString>

namespace {

// Written so that NaN is outside every range.
bool in_range(double v, double lo, double hi) { return v >= lo && v <= hi; }

}  // namespace

bool is_allowed_frequency(uint8_t flags, int32_t f)
{
    if (!(flags & ZAPRET_BIT))
        return true;
    for (int32_t bad : FORBIDDEN_FREQUENCIES)
        if (f == bad)
            return false;
    return true;
}

bool check_frequency(const ModelContext &ctx, uint8_t flags, int32_t f, uint8_t band)
{
    const STATION_BAND *row = band_row_for(ctx.config(), band, f);
    if (!row) {
        ctx.reporter.post(QStringLiteral(
            "Ошибка: Значение частоты находиться за границами допустимого интервала"));
        return false;
    }
    // A row without a usable grid step admits no frequency at all.
    if (row->shag_setki <= 0 || f % row->shag_setki != 0) {
        ctx.reporter.post(QStringLiteral("Ошибка: Частота не кратна ")
                          + QString::number(row->shag_setki) + QStringLiteral(" кГц"));
        return false;
    }
    if (!is_allowed_frequency(flags, f)) {
        ctx.reporter.post(QStringLiteral("Ошибка: Запрещенная частота"));
        return false;
    }
    return true;
}

bool check_conf_before_encode(const ModelContext &ctx, const RS_CONF &conf, uint8_t flags)
{
    for (int32_t f : conf.f_prm)
        if (!check_frequency(ctx, flags, f, conf.diapazon_code))
            return true;
    for (int32_t f : conf.f_prd)
        if (!check_frequency(ctx, flags, f, conf.diapazon_code))
            return true;
    if (!in_range(conf.ctcss_prd, CTCSS_MIN, CTCSS_MAX)) {
        ctx.reporter.post(QStringLiteral(
            "Частота вызывного CTCSS тона (передача) не в допустимом интервале - Ошибка"));
        return true;
    }
    if (!in_range(conf.ctcss_prm, CTCSS_MIN, CTCSS_MAX)) {
        ctx.reporter.post(QStringLiteral(
            "Частота вызывного CTCSS тона (прием) не в допустимом интервале - Ошибка"));
        return true;
    }
    if (!in_range(conf.vt_prd, VT_MIN, VT_MAX) || !in_range(conf.vt_prm, VT_MIN, VT_MAX)) {
        ctx.reporter.post(
            QStringLiteral("Частота вызывного тона не в допустимом интервале - Ошибка"));
        return true;
    }
    return false;
}

bool validate_conf(const ModelContext &ctx, RS_CONF &conf)
{
    const uint8_t flags = conf.zapret ? ZAPRET_BIT : 0;
    bool ok = true;
    for (int32_t &f : conf.f_prm) {
        if (!check_frequency(ctx, flags, f, conf.diapazon_code)) {
            f = 0;
            ok = false;
        }
    }
    for (int32_t &f : conf.f_prd) {
        if (!check_frequency(ctx, flags, f, conf.diapazon_code)) {
            f = 0;
            ok = false;
        }
    }
    auto reject_if = [&ok](bool bad, auto &member) {
        if (bad) {
            member = 0;
            ok = false;
        }
    };
    for (int i = 0; i < RS_CHANNELS; ++i) {
        reject_if(conf.koder[i] >= 9, conf.koder[i]);
        reject_if(conf.ph[i] >= 9, conf.ph[i]);
    }
    reject_if(!in_range(conf.ctcss_prd, CTCSS_MIN, CTCSS_MAX), conf.ctcss_prd);
    reject_if(!in_range(conf.ctcss_prm, CTCSS_MIN, CTCSS_MAX), conf.ctcss_prm);
    reject_if(!in_range(conf.vt_prd, VT_MIN, VT_MAX), conf.vt_prd);
    reject_if(!in_range(conf.vt_prm, VT_MIN, VT_MAX), conf.vt_prm);
    reject_if(conf.n_rab_kanala == 0 || conf.n_rab_kanala > 8, conf.n_rab_kanala);
    const uint8_t mic = conf.microphone & 0x1F;
    reject_if(mic != 24 && mic != 31, conf.microphone);
    reject_if(conf.ur_gromk < 18 || conf.ur_gromk > 26, conf.ur_gromk);
    return ok;
}

bool check_tun_points(const ModelContext &ctx, uint8_t band)
{
    if (band != 1 && band != 2)
        return false;
    TUN_POINT points[STATION_MAX_TUN];
    if (select_tun_points(ctx.config(), band, points) >= 2)
        return true;
    ctx.reporter.report(QStringLiteral("Ошибка: Проверте TUN точки 1 диапазона в конф. файле."));
    return false;
}
