#pragma once
// Conversion between the form's texts and a parameter set. The window copies its widgets
// into a FormTexts and back; everything here works on texts alone, so it is tested
// without a window.

#include <QString>
#include <cstdint>

#include "rs_conf.h"
#include "station_config.h"

constexpr int FORM_ROWS = RS_CHANNELS;  // rows 0..7 are channels 1..8, row 8 is channel R
constexpr int FORM_MAX_COLUMNS = 4;
// The channel table has three columns in tx = rx mode (frequency, key, squelch), else four.
constexpr int columns_for(bool ravno) { return ravno ? 3 : FORM_MAX_COLUMNS; }

struct FormTexts {
    bool ravno = false;  // tx = rx mode: three columns (frequency, key, squelch)
    QString cells[FORM_ROWS][FORM_MAX_COLUMNS];
    QString ctcss_prm, ctcss_prd, vt_prd, vt_prm, ur_gromk, microphone, n_rab_kanala;
    bool zapret = false;  // state of the forbidden-frequency check box

    int columns() const { return columns_for(ravno); }
};

// Frequency cell -> kHz: blanks and points removed, leading integer taken.
int32_t freq_from_cell(const QString &text);

// The form as a parameter set; zapret and the band code come from the window.
RS_CONF read_form(const FormTexts &form, uint8_t flag_zapret, uint8_t diapazon_code);

// The texts a parameter set puts into the form, in the given table mode. In tx = rx mode
// the transmit frequencies are not shown.
FormTexts form_texts_from_conf(const RS_CONF &conf, bool ravno);

// True when no checked field is empty or "0" (frequency cells after stripping).
bool check_form_filled(const FormTexts &form);

// The band-dependent window title.
QString window_title(const STATION_CONFIG &station, uint8_t diapazon_code);

// What switching the forbidden-frequency mode on does to the table: every receive and
// transmit frequency the mode forbids is emptied.
void clear_forbidden_frequencies(FormTexts &form);
