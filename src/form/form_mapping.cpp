#include "form_mapping.h"

#include "conf_texts.h"
#include "editor_numbers.h"
#include "frequency.h"
#include "freq_text.h"
#include "image_map.h"
#include "validation.h"

namespace {

// Tone texts come from a 10-byte buffer in the radio's tools; longer texts cannot be valid
// tones, so they are cut rather than allowed to grow.
constexpr int TONE_TEXT_MAX = 9;

QString tone_text(const char *format, double value)
{
    return format_trimmed(format, value).left(TONE_TEXT_MAX);
}

uint8_t byte_of(const QString &text) { return static_cast<uint8_t>(text_to_int(text)); }

double single_of(const QString &text)
{
    return static_cast<double>(static_cast<float>(text_to_double(text)));
}

int ph_row_index(int row) { return row == RS_CHANNEL_R ? RS_PH_CHANNEL_R : row + 1; }

}  // namespace

int32_t freq_from_cell(const QString &text) { return text_to_int(freq_text_strip(text)); }

RS_CONF read_form(const FormTexts &form, uint8_t flag_zapret, uint8_t diapazon_code)
{
    RS_CONF conf{};
    const int key_col = form.ravno ? 1 : 2;
    for (int row = 0; row < FORM_ROWS; ++row) {
        conf.f_prm[row] = freq_from_cell(form.cells[row][0]);
        conf.f_prd[row] = form.ravno ? conf.f_prm[row] : freq_from_cell(form.cells[row][1]);
        conf.koder[row] = koder_from_text(form.cells[row][key_col]);
        conf.ph[ph_row_index(row)] = ph_from_text(form.cells[row][key_col + 1]);
    }
    conf.ctcss_prm = single_of(form.ctcss_prm);
    conf.ctcss_prd = single_of(form.ctcss_prd);
    conf.vt_prd = single_of(form.vt_prd);
    conf.vt_prm = single_of(form.vt_prm);
    conf.ur_gromk = byte_of(form.ur_gromk);
    conf.microphone = byte_of(form.microphone);
    conf.n_rab_kanala = byte_of(form.n_rab_kanala);
    conf.zapret = flag_zapret;
    conf.diapazon_code = diapazon_code;
    return conf;
}

FormTexts form_texts_from_conf(const RS_CONF &conf, bool ravno)
{
    FormTexts form;
    form.ravno = ravno;
    const int key_col = ravno ? 1 : 2;
    for (int row = 0; row < FORM_ROWS; ++row) {
        form.cells[row][0] = freq_text_format(QString::number(conf.f_prm[row]));
        if (!ravno)
            form.cells[row][1] = freq_text_format(QString::number(conf.f_prd[row]));
        form.cells[row][key_col] = koder_text(conf.koder[row]);
        form.cells[row][key_col + 1] = ph_text(conf.ph[ph_row_index(row)]);
    }
    form.ctcss_prm = tone_text("%4.1f", conf.ctcss_prm);
    form.ctcss_prd = tone_text("%4.1f", conf.ctcss_prd);
    form.vt_prd = tone_text("%6.0f", conf.vt_prd);
    form.vt_prm = tone_text("%6.0f", conf.vt_prm);
    form.ur_gromk = QString::number(conf.ur_gromk);
    form.microphone = QString::number(conf.microphone);
    form.n_rab_kanala = QString::number(conf.n_rab_kanala);
    form.zapret = conf.zapret != 0;
    return form;
}

bool check_form_filled(const FormTexts &form)
{
    const auto filled = [](const QString &t) { return !t.isEmpty() && t != QLatin1String("0"); };
    for (int row = 0; row < FORM_ROWS; ++row) {
        if (!filled(freq_text_strip(form.cells[row][0])))
            return false;
        for (int col = 1; col < form.columns(); ++col)
            if (!filled(form.cells[row][col]))
                return false;
    }
    for (const QString *t : {&form.ctcss_prm, &form.ctcss_prd, &form.vt_prd, &form.vt_prm,
                             &form.ur_gromk, &form.microphone, &form.n_rab_kanala})
        if (!filled(*t))
            return false;
    return true;
}

QString window_title(const STATION_CONFIG &station, uint8_t diapazon_code)
{
    QString title;
    if (diapazon_code == 1)
        title = QStringLiteral("Программатор Торвел-K40 ");
    else if (diapazon_code == 2)
        title = QStringLiteral("Программатор Торвел-K40.35 ");
    else
        return QStringLiteral("Программатор Торвел-K40 [неизвестный частотный диапазон] ");
    for (int i = 0; i < station_band_count(station); ++i) {
        const STATION_BAND &b = station.bands[i];
        if (b.id == diapazon_code)
            title += QStringLiteral("[%1-%2 кГц] ").arg(b.freq_start).arg(b.freq_end);
    }
    return title;
}

void clear_forbidden_frequencies(FormTexts &form)
{
    const auto cleared = [](const QString &cell) {
        const int32_t f = text_leading_digits(freq_text_strip(cell));
        return is_allowed_frequency(ZAPRET_BIT, f) && f != 0 ? freq_text_format(QString::number(f))
                                                             : QString();
    };
    for (int row = 0; row < FORM_ROWS; ++row) {
        // In tx = rx mode the one frequency column stands for both.
        form.cells[row][0] = cleared(form.cells[row][0]);
        if (!form.ravno)
            form.cells[row][1] = cleared(form.cells[row][1]);
    }
}
