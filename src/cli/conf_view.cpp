#include "conf_view.h"

#include <QJsonArray>

#include "conf_texts.h"
#include "editor_numbers.h"
#include "frequency.h"
#include "freq_text.h"

namespace {

QString channel_name(int row)
{
    return row == RS_CHANNEL_R ? QStringLiteral("R") : QString::number(row + 1);
}

// A number text of the form as JSON: a whole number, a decimal, or null when empty.
QJsonValue number_of(const QString &text, bool decimal)
{
    if (text.trimmed().isEmpty())
        return QJsonValue();
    if (decimal)
        return text_to_double(text);
    return text_to_int(text);
}

QString band_text(const STATION_CONFIG &station, uint8_t band)
{
    QStringList ranges;
    for (int i = 0; i < station_band_count(station); ++i)
        if (station.bands[i].id == band)
            ranges << QStringLiteral("%1-%2 кГц")
                          .arg(station.bands[i].freq_start)
                          .arg(station.bands[i].freq_end);
    if (ranges.isEmpty())
        return QStringLiteral("%1 (неизвестный частотный диапазон)").arg(band);
    return QStringLiteral("%1 (%2)").arg(band).arg(ranges.join(QStringLiteral(", ")));
}

}  // namespace

QString hex_byte(uint8_t value)
{
    return QStringLiteral("0x") + QString::number(value, 16).rightJustified(2, QLatin1Char('0'));
}

std::vector<ConfField> conf_fields(const STATION_CONFIG &station, uint8_t band,
                                   const FormTexts &form)
{
    std::vector<ConfField> out;
    out.push_back(
        {QStringLiteral("band"), QStringLiteral("Диапазон"), band_text(station, band), int(band)});
    const int key_col = form.ravno ? 1 : 2;
    for (int row = 0; row < FORM_ROWS; ++row) {
        const QString ch = channel_name(row);
        const QString key = QStringLiteral("channel_") + ch + QLatin1Char('.');
        const QString label = QStringLiteral("Канал ") + ch + QStringLiteral(", ");
        const QString &rx = form.cells[row][0];
        const QString &tx = form.cells[row][form.ravno ? 0 : 1];
        const auto khz = [](const QString &cell) {
            return number_of(freq_text_strip(cell), false);
        };
        out.push_back({key + QStringLiteral("rx_khz"), label + QStringLiteral("частота приема"),
                       rx.trimmed(), khz(rx)});
        out.push_back({key + QStringLiteral("tx_khz"), label + QStringLiteral("частота передачи"),
                       tx.trimmed(), khz(tx)});
        const QString &koder = form.cells[row][key_col];
        const QString &ph = form.cells[row][key_col + 1];
        out.push_back({key + QStringLiteral("scrambler"), label + QStringLiteral("маскиратор"),
                       koder, int(koder_from_text(koder))});
        out.push_back({key + QStringLiteral("squelch"), label + QStringLiteral("уровень ПШ"), ph,
                       int(ph_from_text(ph))});
    }
    const auto add = [&out](const char *key, const char *label, const QString &text, bool decimal) {
        out.push_back(
            {QString::fromLatin1(key), QString::fromUtf8(label), text, number_of(text, decimal)});
    };
    add("ctcss_tx_hz", "Вызывной CTCSS тон ПРД, Гц", form.ctcss_prd, true);
    add("ctcss_rx_hz", "Вызывной CTCSS тон ПРМ, Гц", form.ctcss_prm, true);
    add("call_tone_tx_hz", "Вызывной тон ПРД, Гц", form.vt_prd, true);
    add("call_tone_rx_hz", "Вызывной тон ПРМ, Гц", form.vt_prm, true);
    add("volume", "Уровень громкости", form.ur_gromk, false);
    add("microphone", "Чувствительность микрофонного входа", form.microphone, false);
    add("working_channel", "Номер рабочего канала", form.n_rab_kanala, false);
    out.push_back({QStringLiteral("forbidden"), QStringLiteral("Запрещенные частоты"),
                   form.zapret ? QStringLiteral("Есть") : QStringLiteral("Нет"), form.zapret});
    return out;
}

QStringList fields_of_address(int address)
{
    if (!image_address_valid(address))
        return {};
    const ImageAddress &a = IMAGE_MAP[address];
    const QString ch = QStringLiteral("channel_")
                       + (a.slot == 0 ? QStringLiteral("R") : QString::number(a.slot))
                       + QLatin1Char('.');
    switch (a.field) {
    case ImageField::kept: return {};
    case ImageField::band_code: return {QStringLiteral("band")};
    case ImageField::zapret: return {QStringLiteral("forbidden")};
    case ImageField::f_prm: return {ch + QStringLiteral("rx_khz")};
    case ImageField::f_prd: return {ch + QStringLiteral("tx_khz")};
    // The tuning voltage follows the channel's receive frequency.
    case ImageField::tuning: return {ch + QStringLiteral("rx_khz")};
    case ImageField::ph: return {ch + QStringLiteral("squelch")};
    case ImageField::koder: return {ch + QStringLiteral("scrambler")};
    case ImageField::n_rab_kanala: return {QStringLiteral("working_channel")};
    case ImageField::microphone: return {QStringLiteral("microphone")};
    case ImageField::vt_prd: return {QStringLiteral("call_tone_tx_hz")};
    case ImageField::vt_prm_timer:
    case ImageField::vt_prm_window: return {QStringLiteral("call_tone_rx_hz")};
    case ImageField::ctcss_prd: return {QStringLiteral("ctcss_tx_hz")};
    case ImageField::ctcss_prm: return {QStringLiteral("ctcss_rx_hz")};
    case ImageField::ur_gromk: return {QStringLiteral("volume")};
    }
    return {};
}

QString show_text(const std::vector<ConfField> &fields)
{
    // Field order: band, then four per channel, then the station-wide ones.
    QString s = fields[0].label + QStringLiteral(": ") + fields[0].text + QLatin1Char('\n');
    // The frequency texts are kHz with a point before the last three digits: MHz to read.
    s += QStringLiteral("\nКанал  Прием, МГц  Передача, МГц  Маскиратор  Уровень ПШ\n");
    for (int row = 0; row < FORM_ROWS; ++row) {
        const ConfField *f = &fields[1 + 4 * row];
        s += channel_name(row).leftJustified(7) + f[0].text.rightJustified(10)
             + QStringLiteral("  ") + f[1].text.rightJustified(13) + QStringLiteral("  ")
             + f[2].text.leftJustified(11) + QLatin1Char(' ') + f[3].text + QLatin1Char('\n');
    }
    s += QLatin1Char('\n');
    for (size_t i = 1 + 4 * FORM_ROWS; i < fields.size(); ++i)
        s += fields[i].label + QStringLiteral(": ") + fields[i].text + QLatin1Char('\n');
    return s;
}

QJsonObject show_json(const std::vector<ConfField> &fields)
{
    QJsonObject root;
    QJsonArray channels;
    root.insert(fields[0].key, fields[0].json);
    for (int row = 0; row < FORM_ROWS; ++row) {
        QJsonObject ch;
        ch.insert(QStringLiteral("channel"), channel_name(row));
        for (int k = 0; k < 4; ++k) {
            const ConfField &f = fields[1 + 4 * row + k];
            ch.insert(f.key.section(QLatin1Char('.'), 1), f.json);
        }
        ch.insert(QStringLiteral("scrambler_text"), fields[1 + 4 * row + 2].text);
        ch.insert(QStringLiteral("squelch_text"), fields[1 + 4 * row + 3].text);
        channels.append(ch);
    }
    root.insert(QStringLiteral("channels"), channels);
    for (size_t i = 1 + 4 * FORM_ROWS; i < fields.size(); ++i)
        root.insert(fields[i].key, fields[i].json);
    return root;
}

std::vector<FieldChange> field_changes(const std::vector<ConfField> &a,
                                       const std::vector<ConfField> &b)
{
    std::vector<FieldChange> out;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i].text != b[i].text)
            out.push_back({&a[i], &b[i]});
    return out;
}

std::vector<ByteChange> byte_changes(const uint8_t *a, const uint8_t *b)
{
    std::vector<ByteChange> out;
    for (int address = 0; address < RS_IMAGE_SIZE; ++address)
        if (a[address] != b[address])
            out.push_back({address, a[address], b[address], fields_of_address(address),
                           image_address_programmable(address)});
    return out;
}
