#pragma once
// The texts under which the form, the channel table and the report show scrambler keys and
// squelch levels. Values outside the tables are shown as off; unknown texts read as 0.

#include <QString>
#include <QStringList>

#include <cstdint>

constexpr int KODER_MAX = 8;  // keys 1..8; 0 = off
constexpr int PH_MAX = 5;     // levels 0..5

QString koder_text(uint8_t key);  // "Выключено", "Ключ 1" .. "Ключ 8"
uint8_t koder_from_text(const QString &text);
QStringList koder_texts();  // index = key

QString ph_text(uint8_t level);  // "Выключен" .. "CTCSS"
uint8_t ph_from_text(const QString &text);
QStringList ph_texts();  // index = level
