#pragma once
// The radio stores numbers its hardware uses, not kHz and Hz: synthesizer codes, tone phase
// increments and timer values, and tuning-voltage bytes. These are the conversions, with the
// exact constants and rounding the radio's firmware expects.

#include "station_config.h"

#include <cstdint>

// Rounding. Truncation goes toward zero; round is half away from zero.
double round_half_away(double x);
double round_one_decimal(double x);  // round_half_away(10 x) * 0.1
double round_to_tens(double x);      // round_half_away(trunc(x) / 10) * 10

// Band rows of a station: every STATION_BAND whose id equals the band code, in table order.
int station_band_count(const STATION_CONFIG &st);  // band_count clamped to 0..100
int station_tun_count(const STATION_CONFIG &st);   // tun_count clamped to 0..128
bool band_known(const STATION_CONFIG &st, uint8_t band);
bool freq_in_band(const STATION_CONFIG &st, uint8_t band, int32_t f);
// The first row of the band that contains f, or null.
const STATION_BAND *band_row_for(const STATION_CONFIG &st, uint8_t band, int32_t f);

// Receive (prm) or transmit (prd) synthesizer path; they differ only in the offsets used.
enum class FreqPath { prm, prd };

// kHz -> low 16 bits of the synthesizer code. False when no row of the band holds f
// (or that row has no usable grid step).
bool freq_to_code(const STATION_CONFIG &st, uint8_t band, FreqPath path, int32_t f, uint16_t &code);
// Synthesizer code -> kHz: the first row whose decoding lands inside it; 0 if none does.
int32_t code_to_freq(const STATION_CONFIG &st, uint8_t band, FreqPath path, uint16_t code);

// CTCSS tones. Decodings scan the candidate tones 300.00 Hz down to 50.00 Hz.
constexpr double CTCSS_MIN = 65.0;
constexpr double CTCSS_MAX = 260.0;
constexpr double CTCSS_PRM_CORRECTION = 1.008;  // receive detector runs this much slow

uint16_t ctcss_prd_code(double hz);
double ctcss_prd_tone(uint16_t code);  // unrounded; 0 if no tone has the code
uint16_t ctcss_prm_code(double hz);
double ctcss_prm_tone(uint16_t code);  // mean of the matching tones; 0 if none
// The tone the receive detector really realises for a wanted tone, one decimal.
double ctcss_prm_quantize(double hz);
// The receive tone a stored code stands for, one decimal: a tone the encoder turns back into
// this very code where there is one, else the tone the code becomes once written back, so
// that reading a radio and programming it unedited never moves its tone.
double ctcss_prm_value(uint16_t code);

// Call tones ("VT"). Decodings scan 3000.0 Hz down to 300.0 Hz and give whole tens.
constexpr double VT_MIN = 350.0;
constexpr double VT_MAX = 2150.0;

uint16_t vt_prd_code(double hz);
double vt_prd_tone(uint16_t code);
uint16_t vt_prm_timer(double hz);
double vt_prm_tone(uint16_t timer);
uint8_t vt_prm_window(double hz);

// Tuning points and voltages.
constexpr double TUNING_STEP_V = 0.012352941176470587;  // 3.15 V / 255

// Fills out (room for STATION_MAX_TUN) with the band's points sorted by Freq, stably.
// Returns their count, or -1 when the tables give no usable band or no points at all;
// callers treat both -1 and fewer than 2 as "no tuning".
int select_tun_points(const STATION_CONFIG &st, uint8_t band, TUN_POINT *out);
// Linear interpolation over sorted points; 0 V outside them or on a degenerate segment.
double tuning_voltage(const TUN_POINT *points, int n, int32_t f);
