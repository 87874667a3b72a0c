#include "frequency.h"

#include <cmath>
#include <cstdint>
#include <initializer_list>

namespace {

// Truncation toward zero that never invokes undefined behaviour: NaN gives 0 and huge values
// saturate far below the int64 limits (callers still scale the result), so a nonsense input
// gives a nonsense code the checks refuse, not a crash.
int64_t trunc_int(double x)
{
    constexpr double limit = 1e15;
    if (std::isnan(x))
        return 0;
    if (x >= limit)
        return static_cast<int64_t>(limit);
    if (x <= -limit)
        return -static_cast<int64_t>(limit);
    return static_cast<int64_t>(x);
}

uint16_t low16(int64_t v) { return static_cast<uint16_t>(v & 0xFFFF); }

int32_t enc_delta(const STATION_BAND &b, FreqPath p)
{
    return p == FreqPath::prm ? b.delta_freq_enc_prm : b.delta_freq_enc_prd;
}

int32_t dec_delta(const STATION_BAND &b, FreqPath p)
{
    return p == FreqPath::prm ? b.delta_freq_dec_prm : b.delta_freq_dec_prd;
}

struct CtcssPrmParts {
    int64_t a;
    int64_t b;
};

CtcssPrmParts ctcss_prm_parts(double x)
{
    const int64_t a = trunc_int(x * 49056.0 / 100000.0);
    const int64_t b = trunc_int(511.5 - a * 100000.0 / (x * 96.0));
    return {a, b};
}

int64_t ctcss_prd_full(double x) { return trunc_int(x * 2359296.0 / 100800.0 + 0.5); }

int64_t ctcss_prm_full(double x)
{
    const CtcssPrmParts p = ctcss_prm_parts(x);
    return p.a * 64 + p.b;
}

int64_t vt_prd_full(double x) { return trunc_int(x * 390096.0 / 100000.0 + 0.5); }

// Timer reload count of the call tone detector; the decoder matches without the half.
int64_t vt_prm_count(double x, double half)
{
    return trunc_int(4032000.0 / ((x + 25.0) * 12.0) + half);
}

}  // namespace

double round_half_away(double x) { return x >= 0 ? std::trunc(x + 0.5) : std::trunc(x - 0.5); }

double round_one_decimal(double x) { return round_half_away(10.0 * x) * 0.1; }

double round_to_tens(double x) { return round_half_away(std::trunc(x) / 10.0) * 10.0; }

int station_band_count(const STATION_CONFIG &st)
{
    return st.band_count < 0                   ? 0
           : st.band_count > STATION_MAX_BANDS ? STATION_MAX_BANDS
                                               : st.band_count;
}

int station_tun_count(const STATION_CONFIG &st)
{
    return st.tun_count < 0 ? 0 : st.tun_count > STATION_MAX_TUN ? STATION_MAX_TUN : st.tun_count;
}

bool band_known(const STATION_CONFIG &st, uint8_t band)
{
    for (int i = 0; i < station_band_count(st); ++i)
        if (st.bands[i].id == band)
            return true;
    return false;
}

const STATION_BAND *band_row_for(const STATION_CONFIG &st, uint8_t band, int32_t f)
{
    for (int i = 0; i < station_band_count(st); ++i) {
        const STATION_BAND &b = st.bands[i];
        if (b.id == band && b.freq_start <= f && f <= b.freq_end)
            return &b;
    }
    return nullptr;
}

bool freq_in_band(const STATION_CONFIG &st, uint8_t band, int32_t f)
{
    return band_row_for(st, band, f) != nullptr;
}

bool freq_to_code(const STATION_CONFIG &st, uint8_t band, FreqPath path, int32_t f, uint16_t &code)
{
    const STATION_BAND *b = band_row_for(st, band, f);
    if (!b || b->shag_setki <= 0)
        return false;
    code = low16((int64_t{f} + enc_delta(*b, path)) / b->shag_setki);
    return true;
}

int32_t code_to_freq(const STATION_CONFIG &st, uint8_t band, FreqPath path, uint16_t code)
{
    for (int i = 0; i < station_band_count(st); ++i) {
        const STATION_BAND &b = st.bands[i];
        if (b.id != band)
            continue;
        const int64_t f = int64_t{dec_delta(b, path)} + int64_t{code} * b.shag_setki;
        if (b.freq_start <= f && f <= b.freq_end)
            return static_cast<int32_t>(f);
    }
    return 0;
}

uint16_t ctcss_prd_code(double hz) { return low16(ctcss_prd_full(hz)); }

double ctcss_prd_tone(uint16_t code)
{
    for (int n = 30000; n >= 5000; --n) {
        const double x = n / 100.0;
        if (ctcss_prd_full(x) == code)
            return x;
    }
    return 0.0;
}

uint16_t ctcss_prm_code(double hz) { return low16(ctcss_prm_full(hz)); }

double ctcss_prm_tone(uint16_t code)
{
    double high = 0.0;
    for (int n = 30000; n >= 5000; --n) {
        if (ctcss_prm_full(n / 100.0) == code) {
            high = n / 100.0;
            break;
        }
    }
    if (high == 0.0)
        return 0.0;
    double low = high;
    for (int n = 5000; n <= 30000; ++n) {
        if (ctcss_prm_full(n / 100.0) == code) {
            low = n / 100.0;
            break;
        }
    }
    return (high + low) / 2.0;
}

double ctcss_prm_quantize(double hz)
{
    const CtcssPrmParts p = ctcss_prm_parts(hz);
    const int64_t den = (511 - p.b) * 96;
    if (p.a == 0 || den == 0)
        return 0.0;  // no tone below the detector's first step
    return round_one_decimal(p.a * 100000.0 / static_cast<double>(den));
}

namespace {

uint16_t ctcss_prm_written(double hz)
{
    return ctcss_prm_code(ctcss_prm_quantize(hz) / CTCSS_PRM_CORRECTION);
}

double ctcss_prm_plain(uint16_t code)
{
    return ctcss_prm_quantize(round_one_decimal(ctcss_prm_tone(code) * CTCSS_PRM_CORRECTION));
}

}  // namespace

double ctcss_prm_value(uint16_t code)
{
    // The plain reading misses its own code for a few dozen codes; a neighbour a few tenths
    // away may hit it, else the code it is written as decides (a hop or two at most).
    constexpr int NEIGHBOURS = 5;
    constexpr int HOPS = 8;
    double plain = 0.0;
    for (int hop = 0; hop < HOPS; ++hop) {
        plain = ctcss_prm_plain(code);
        const uint16_t written = ctcss_prm_written(plain);
        if (plain == 0.0 || written == code)
            return plain;
        for (int k = 1; k <= NEIGHBOURS; ++k) {
            for (int sign : {-1, 1}) {
                const double v = round_one_decimal(plain + sign * k * 0.1);
                if (ctcss_prm_quantize(v) == v && ctcss_prm_written(v) == code)
                    return v;
            }
        }
        code = written;
    }
    return plain;
}

uint16_t vt_prd_code(double hz) { return low16(vt_prd_full(hz)); }

double vt_prd_tone(uint16_t code)
{
    for (int n = 30000; n >= 3000; --n) {
        const double x = n / 10.0;
        if (vt_prd_full(x) == code)
            return round_half_away(x / 10.0) * 10.0;
    }
    return 0.0;
}

uint16_t vt_prm_timer(double hz) { return low16(0x10000 - vt_prm_count(hz, 0.5)); }

double vt_prm_tone(uint16_t timer)
{
    for (int n = 30000; n >= 3000; --n) {
        const double x = n / 10.0;
        if (0x10000 - vt_prm_count(x, 0.0) == timer)
            return round_half_away(x / 10.0) * 10.0;
    }
    return 0.0;
}

uint8_t vt_prm_window(double hz)
{
    const int64_t n = vt_prm_count(hz, 0.5);
    int64_t w = trunc_int(round_half_away(n * 50.0 / (hz - 25.0)));
    if (w <= 5)
        w = 6;
    return static_cast<uint8_t>(w & 0xFF);
}

int select_tun_points(const STATION_CONFIG &st, uint8_t band, TUN_POINT *out)
{
    if (st.band_count <= 0)
        return -1;
    bool found = false;
    int32_t lo = 0;
    int32_t hi = 0;
    for (int i = 0; i < station_band_count(st); ++i) {
        const STATION_BAND &b = st.bands[i];
        if (b.id != band)
            continue;
        if (!found || b.freq_start < lo)
            lo = b.freq_start;
        if (!found || b.freq_end > hi)
            hi = b.freq_end;
        found = true;
    }
    if (!found || lo <= 0 || hi <= 0 || st.tun_count <= 0)
        return -1;

    int n = 0;
    for (int i = 0; i < station_tun_count(st); ++i) {
        const TUN_POINT &p = st.tun[i];
        if (p.id == band && lo <= p.Freq && p.Freq <= hi)
            out[n++] = p;
    }
    // Exchange sort; swapping only strictly greater neighbours keeps equal points in order.
    for (int pass = 0; pass + 1 < n; ++pass) {
        for (int i = 0; i + 1 < n - pass; ++i) {
            if (out[i].Freq > out[i + 1].Freq) {
                const TUN_POINT t = out[i];
                out[i] = out[i + 1];
                out[i + 1] = t;
            }
        }
    }
    return n;
}

double tuning_voltage(const TUN_POINT *points, int n, int32_t f)
{
    if (n <= 1)
        return 0.0;
    for (int i = 0; i + 1 < n; ++i) {
        const double f0 = points[i].Freq;
        const double f1 = points[i + 1].Freq;
        if (f0 <= f && f <= f1) {
            if (f1 == f0)
                return 0.0;
            return ((f1 - f) * points[i].U + (f - f0) * points[i + 1].U) / (f1 - f0);
        }
    }
    return 0.0;
}
